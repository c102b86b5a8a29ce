// What a run ended half way (a member who closes an engine that seems stuck,
// a lost power) or one whose undo could not finish (a file another program
// held past its patience) leaves in the installation, put right before the
// next run changes anything. Such a run may have stopped while it wrote its
// new copies, while it swapped them in, while it undid the swap, or while it
// deleted the old copies after it:
// - A run that left new copies beside old copies or marks of places that held
//   nothing was swapped or undone part way: its old copies go back, what it
//   added goes (files, and the folders it made once they are empty), and its
//   new copies go, as its own undo would have done. The new copies are not
//   put in instead: the run may have been undoing a swap that failed, and its
//   new copies may be going already; the old installation is the one known
//   whole, and the archive stays for a run that installs it whole. What
//   cannot be put back yet keeps an empty new copy beside it, so that every
//   later run that looks in its folder finishes the undo.
// - An old copy whose place is empty is the only copy of that file: it goes
//   back (the newest, should several runs have left one).
// - New copies go otherwise: none is an installed file, and one of a run that
//   swapped nothing may be cut short.
// Nothing here deletes an old copy, nor a mark of a run that swapped whole;
// those beside places a later run installs go then
// (StagedFolder::removeLeftovers).
#pragma once

#include <string>
#include <vector>

namespace vorlane::updater {

// Puts right what ended runs left in these folders below root (relative to
// it, "" for root itself; each alone, not the folders below it, and none
// that leads elsewhere): the folders a run could have written, not every
// folder below root, which may hold more than this installation. The lines
// say what went back and what could not, for the log.
std::vector<std::string> recoverInterruptedRuns(const std::wstring& root, const std::vector<std::wstring>& folders);

}  // namespace vorlane::updater
