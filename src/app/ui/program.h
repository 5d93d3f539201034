#pragma once

#include <QFont>
#include <QWidget>

#include <memory>

namespace rg {

class Tfrmquorvel;
class TfrmAddField;
class TOKHelpBottomDlg;
class Tfrmdisplaysetup;

// Windows created at start and kept for the whole run, reachable from everywhere.
extern Tfrmquorvel* frmquorvel;
extern Tfrmdisplaysetup* frmdisplaysetup;
extern TfrmAddField* frmAddField;
extern TOKHelpBottomDlg* OKHelpBottomDlg;

// The windows of one run, in creation order; destroying it clears the references.
struct StartWindows {
    std::unique_ptr<Tfrmquorvel> main;
    std::unique_ptr<Tfrmdisplaysetup> captions;
    std::unique_ptr<TfrmAddField> addField;
    std::unique_ptr<TOKHelpBottomDlg> about;
    QWidgetList creationOrder;
    ~StartWindows();
};

// Program start: the main window (which lists the saved setups), then the other
// start windows, hidden. Nothing is read and no data source is opened.
// `setupFolder` empty means the program's own folders (Tfrmquorvel::defaultSetupFolders),
// where an installed program's first start copies the demo reports to the user's folder.
std::unique_ptr<StartWindows> createStartWindows(const QString& setupFolder = QString());

// The program speaks Chinese: Qt's own texts for the dialogs it provides (file, print,
// page setup, message boxes) and the program's texts that are written in English in the
// code (the connection properties, the custom filter, the find bar) get their Chinese
// translations. With LANGUAGE asking for English first (LANGUAGE=en) both stay English.
// Called again, it follows a changed LANGUAGE; createStartWindows calls it.
bool englishRequested();
void installTranslations();

// The interface font: the desktop's own, with a CJK face behind it so that the Chinese
// texts render wherever the default face has no such glyphs; 9 point.
QFont uiFont();

} // namespace rg
