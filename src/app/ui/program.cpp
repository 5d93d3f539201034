#include "app/ui/program.h"

#include "app/setupfolders.h"
#include "app/ui/about.h"
#include "app/ui/addfield.h"
#include "app/ui/quorvel.h"
#include "gridsetup/ui/fielddisplaysetup.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStatusBar>
#include <QTranslator>

namespace rg {

Tfrmquorvel* frmquorvel = nullptr;
Tfrmdisplaysetup* frmdisplaysetup = nullptr;
TfrmAddField* frmAddField = nullptr;
TOKHelpBottomDlg* OKHelpBottomDlg = nullptr;

QFont uiFont() {
    QFont font = QGuiApplication::font();
    QStringList families = font.families();
    if (families.isEmpty())
        families << font.family();
    for (const char* cjk : {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC"})
        if (!families.contains(QLatin1String(cjk)))
            families << QLatin1String(cjk);
    font.setFamilies(families);
    // The window geometry is in fixed pixels (13 pixel labels, 36 pixel tool buttons), so
    // the size stays fixed too, whatever the desktop's default.
    font.setPointSize(9);
    return font;
}

StartWindows::~StartWindows() {
    about.reset();
    addField.reset();
    captions.reset();
    main.reset();
    frmdisplaysetup = nullptr;
    OKHelpBottomDlg = nullptr;
    frmAddField = nullptr;
    frmquorvel = nullptr;
}

bool englishRequested() {
    // GNU's LANGUAGE: languages by preference, separated by colons.
    return qEnvironmentVariable("LANGUAGE")
        .section(QLatin1Char(':'), 0, 0)
        .startsWith(QLatin1String("en"));
}

void installTranslations() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    for (const char* name : {"qtTranslator", "programTranslator"})
        delete app->findChild<QTranslator*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    if (englishRequested())
        return;
    auto install = [app](const char* name, auto&& load) {
        auto* translator = new QTranslator(app);
        translator->setObjectName(QLatin1String(name));
        if (load(*translator))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    };
    // Without Debian's translations package Qt's dialogs stay English; nothing depends on it.
    install("qtTranslator", [](QTranslator& t) {
        return t.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    });
    install("programTranslator",
            [](QTranslator& t) { return t.load(QStringLiteral(":/i18n/reportgen_zh_CN.qm")); });
}

std::unique_ptr<StartWindows> createStartWindows(const QString& setupFolder) {
    installTranslations();
    QApplication::setFont(uiFont());
    auto windows = std::make_unique<StartWindows>();

    // An installed program's first start gives the user the demo reports to change; the
    // window opens without them when the user's folder cannot be written, and says so.
    SetupFolders folders =
        setupFolder.isEmpty() ? Tfrmquorvel::defaultSetupFolders() : SetupFolders(setupFolder);
    QString copyFailure;
    try {
        copyDemoSetups(folders, QCoreApplication::applicationDirPath());
    } catch (const std::exception& e) {
        copyFailure = QString::fromUtf8(e.what());
    }
    windows->main = std::make_unique<Tfrmquorvel>(nullptr, folders);
    if (!copyFailure.isEmpty())
        windows->main->StatusBar1->showMessage(copyFailure);
    frmquorvel = windows->main.get();
    windows->creationOrder << windows->main.get();

    // The field captions dialog is shared by the main window and the data source dialog.
    windows->captions = std::make_unique<Tfrmdisplaysetup>();
    frmdisplaysetup = windows->captions.get();
    windows->creationOrder << windows->captions.get();

    windows->addField = std::make_unique<TfrmAddField>();
    frmAddField = windows->addField.get();
    windows->creationOrder << windows->addField.get();

    windows->about = std::make_unique<TOKHelpBottomDlg>();
    OKHelpBottomDlg = windows->about.get();
    windows->creationOrder << windows->about.get();
    return windows;
}

} // namespace rg
