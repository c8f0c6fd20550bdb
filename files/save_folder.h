// The folder a job saves into, looked at before the job reads anything: a job that cannot save
// its results says so at once, naming the folder and why, instead of after reading every file.
#ifndef TRAVIK_FILES_SAVE_FOLDER_H_
#define TRAVIK_FILES_SAVE_FOLDER_H_

#include <string>
#include <string_view>

namespace travik {

// Makes `folder` ready to receive new files: every missing level is made. Empty when it is
// there; otherwise the message for the person, naming the folder (or the level that failed) and
// the cause. Levels made before a failure stay.
std::string PrepareSaveFolder(std::string_view folder);

}  // namespace travik

#endif  // TRAVIK_FILES_SAVE_FOLDER_H_
