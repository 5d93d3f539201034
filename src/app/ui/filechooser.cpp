#include "app/ui/filechooser.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QStringList>
#include <QUrl>

namespace rg {

namespace {

class DesktopFileChooser : public FileChooser {
public:
    bool execute(QWidget* parent, const QString& title, const QString& filter,
                 QString& name) override {
        QFileDialog dialog(parent, title);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        const QStringList filters = qtNameFilters(filter).split(QStringLiteral(";;"));
        dialog.setNameFilters(filters);
        if (!name.isEmpty())
            dialog.selectFile(name);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        name = dialog.selectedFiles().constFirst();
        chosen_ = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
        return true;
    }
    int chosenFilter() const override { return chosen_; }

private:
    int chosen_ = -1;
};

class DesktopShell : public Shell {
public:
    bool open(const QString& path) override {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
};

} // namespace

std::unique_ptr<FileChooser> makeDesktopFileChooser() {
    return std::make_unique<DesktopFileChooser>();
}

std::unique_ptr<Shell> makeDesktopShell() {
    return std::make_unique<DesktopShell>();
}

QString qtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

TSaveDialog::TSaveDialog(QWidget* owner)
    : QObject(owner), owner_(owner), chooser_(makeDesktopFileChooser()) {
    setObjectName(QStringLiteral("dlgsjsc"));
}

TSaveDialog::~TSaveDialog() = default;

bool TSaveDialog::Execute() {
    QString name = FileName;
    if (!chooser_->execute(owner_, Title, Filter, name))
        return false;
    FileName = name;
    FilterIndex = chooser_->chosenFilter();
    return true;
}

void TSaveDialog::setChooser(std::unique_ptr<FileChooser> chooser) {
    chooser_ = std::move(chooser);
}

} // namespace rg
