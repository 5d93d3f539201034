#pragma once

// Where the left bar lists saved setups from and where a setup is saved. A build tree and a
// program copied from Windows keep their setups beside the program, as they always did; an
// installed program cannot write there, so the user's own data folder takes the setups and
// the program's folder is listed after it.

#include <QString>

namespace rg {

struct SetupFolders {
    SetupFolders() = default;
    // One folder, listed and saved to.
    SetupFolders(const QString& folder) : own(folder) {} // NOLINT: a folder is a set of one
    QString own;                                         // listed first; setups are saved here
    QString shared; // listed after it and never written; empty for none
};

// The folders of a program in `programDir` whose user data folder is `userDataDir`: a
// writable "setup" beside the program alone; otherwise "<userDataDir>/setup/" with the
// program's own setups ("setup" beside it where it can be read, else the prefix's
// share/reportgen/setup) listed after it. Folder names end in "/".
SetupFolders setupFoldersFor(const QString& programDir, const QString& userDataDir);

// On an installed program's first start (no user folder yet) the demo setups of the shared
// folder and the demo database beside them are copied into the user's data folder, the
// copies naming the user's database, so that the demo reports can be changed and saved.
// `programDir` is where the setups' relative database paths start. The folder appears whole
// or not at all. Returns whether it copied; throws rg::Error naming the folder when it
// cannot be written.
bool copyDemoSetups(const SetupFolders& folders, const QString& programDir);

} // namespace rg
