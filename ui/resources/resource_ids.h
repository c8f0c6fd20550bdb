// Resource ids of the widgets' resources (ui/resources/widgets.rc). Icons take ids from 100 so
// that the program's own icon, the lowest, is the one the shell shows for travik.exe.
#ifndef TRAVIK_UI_RESOURCES_RESOURCE_IDS_H_
#define TRAVIK_UI_RESOURCES_RESOURCE_IDS_H_

#define IDI_TRAVIK 100
#define IDI_ADD_FILE 101
#define IDI_START_SPLIT 102
#define IDI_MERGE 103
#define IDI_START_PROCESSING 104
#define IDI_BROWSE 105

// JPEG bytes of the feedback window's 280 x 50 banner (RCDATA).
#define IDR_FEEDBACK_BANNER 120
// RIFF WAVE bytes of the completion sound (RCDATA).
#define IDR_COMPLETION_SOUND 121

#endif  // TRAVIK_UI_RESOURCES_RESOURCE_IDS_H_
