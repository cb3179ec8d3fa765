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
