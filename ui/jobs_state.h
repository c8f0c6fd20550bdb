// The job state the window keeps for the whole run: the split job's context (its naming mode
// outlives a job) and the insert job's context, whose output folder is the insert page's
// `outputFolder` that the save-location controls set.
#ifndef TRAVIK_UI_JOBS_STATE_H_
#define TRAVIK_UI_JOBS_STATE_H_

#include <string>

#include "insert/insert_job.h"
#include "split/split_job.h"

namespace travik::ui {

struct JobsState {
  SplitContext split;
  InsertContext insert;  // insert.output_folder is `outputFolder`, empty at start
  // Each page's last end-of-job text, shown in the status bar while the page is, until its list
  // changes; empty when none.
  std::string summary[3];
};

}  // namespace travik::ui

#endif  // TRAVIK_UI_JOBS_STATE_H_
