// Choosing the operation of an action whose operation code is negative: the "Synchronize
// Directories" window, or scripted answers (TESSALINE_ANSWERS) with a transcript line each.
#pragma once

#include "synch/synch_settings.h"

namespace tsl {

/// The operation preselected by a negative code: -(c + 2) gives c for c = 0..5, -9 gives 7,
/// anything else nothing (-1).
int PreselectedOperation(int code);

/// Asks for the operation. On OK the settings take the chosen code (-1 when no option was
/// chosen: a comparison report) and the folders as shown (swapped after an odd number of
/// swaps); false when the user cancels.
///
/// Scripted answers: a code of the dialog's list chooses it and presses OK, `Swap` exchanges
/// the folders and takes the next answer, `OK` accepts the preselection, anything else (or no
/// answer left) cancels. Each answer is recorded as
///   Question: Synchronize Directories: Source Directory: <s>\nTarget Directory: <t>\n
///   Preselected: <code> -> <answer>
bool AskOperation(SynchSettings* settings);

}  // namespace tsl
