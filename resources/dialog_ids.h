// Numbers of the dialogs and controls that the resource script and the code share.
#pragma once

#define TSL_DIALOG_SYNCHRONIZE 130
#define TSL_SYNCHRONIZE_SOURCE 1001
#define TSL_SYNCHRONIZE_TARGET 1002
#define TSL_SYNCHRONIZE_SWAP 1003
#define TSL_SYNCHRONIZE_FIRST_OPTION 1010  // seven options follow in a row
#define TSL_SYNCHRONIZE_HELP 9
