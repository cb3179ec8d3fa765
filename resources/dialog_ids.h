// Numbers of the dialogs and controls that the resource script and the code share.
#pragma once

#define TSL_DIALOG_SYNCHRONIZE 130
#define TSL_SYNCHRONIZE_SOURCE 1001
#define TSL_SYNCHRONIZE_TARGET 1002
#define TSL_SYNCHRONIZE_SWAP 1003
#define TSL_SYNCHRONIZE_FIRST_OPTION 1010  // seven options follow in a row
#define TSL_SYNCHRONIZE_HELP 9

#define TSL_DIALOG_REPLACE 127
#define TSL_REPLACE_HEADER 1020
#define TSL_REPLACE_EXISTING 1021
#define TSL_REPLACE_REPLACEMENT 1022
#define TSL_REPLACE_YES_TO_ALL 1023
#define TSL_REPLACE_NO_TO_ALL 1024

#define TSL_DIALOG_ERRORS 156
#define TSL_ERRORS_LABEL 1030
#define TSL_ERRORS_LIST 1031
#define TSL_ERRORS_HELP 1032

// The file replacement's question before one occurrence is replaced.
#define TSL_DIALOG_REPLACE_CONFIRMATION 131
#define TSL_REPLACE_CONFIRMATION_LINE 1040
#define TSL_REPLACE_CONFIRMATION_PATH 1041
#define TSL_REPLACE_CONFIRMATION_FIRST_BUTTON 1042  // seven buttons in a row, then IDCANCEL

// The file replacement's question about a whole file.
#define TSL_DIALOG_CONFIRMATION_REQUIRED 133
#define TSL_CONFIRMATION_QUESTION 1050
#define TSL_CONFIRMATION_YES_TO_ALL 1051

// The "Searching" window of the registry job (modeless): a moving bar, "Searching...", the
// status line and Cancel.
#define TSL_DIALOG_SEARCHING 132
#define TSL_SEARCHING_ANIMATION 1060
#define TSL_SEARCHING_LABEL 1061
#define TSL_SEARCHING_STATUS 1062

// The registry job's question before one key name, value name or data item is replaced.
#define TSL_DIALOG_REGISTRY_REPLACE 134
#define TSL_REGISTRY_REPLACE_PATH 1065
#define TSL_REGISTRY_REPLACE_ITEM 1066
#define TSL_REGISTRY_REPLACE_OLD 1067
#define TSL_REGISTRY_REPLACE_NEW 1068
#define TSL_REGISTRY_REPLACE_THIS 1069
#define TSL_REGISTRY_REPLACE_REST 1070
#define TSL_REGISTRY_REPLACE_SKIP 1071  // then IDCANCEL: "&Cancel Rest"

// The merge window of a preview registry action and its "Compare Options".
#define TSL_DIALOG_MERGE 102
#define TSL_MERGE_FILE 1100
#define TSL_MERGE_LIST 1101
#define TSL_MERGE_DELETE 1102
#define TSL_MERGE_OPTIONS 1103
#define TSL_MERGE_SHOWN 1104  // "n of m lines shown"; IDOK is "Merge Values"

#define TSL_DIALOG_COMPARE_OPTIONS 103
#define TSL_COMPARE_ONLY_IN_FILE 1110
#define TSL_COMPARE_ONLY_IN_REGISTRY 1111
#define TSL_COMPARE_SAME 1112
#define TSL_COMPARE_DIFFERENT 1113
#define TSL_COMPARE_CASE_SENSITIVE 1114
