#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QWidget;

namespace rg {

// Asks the user for a file name. The desktop version is a QFileDialog; tests install an
// object that answers by itself, so every command flow runs without a person.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // `name` comes in as the name to offer first and goes out as the chosen name.
    // Returns false when the user cancelled.
    virtual bool execute(QWidget* parent, const QString& title, const QString& filter,
                         QString& name) = 0;
    // The position in `filter` of the entry chosen in the last execute; -1 when unknown.
    virtual int chosenFilter() const { return -1; }
};

// Opens a file with the desktop's application for it (the shell's "open" verb).
class Shell {
public:
    virtual ~Shell() = default;
    virtual bool open(const QString& path) = 0;
};

std::unique_ptr<FileChooser> makeDesktopFileChooser();
std::unique_ptr<Shell> makeDesktopShell();

// "电子表格|*.xls" (description|pattern pairs) in the form QFileDialog reads.
QString qtNameFilters(const QString& filter);

// The save dialog shared by export, save and load. Each command sets Filter and calls
// Execute; the title never changes, no extension is added, an existing file is taken
// without a question, and the name chosen last is offered again next time.
class TSaveDialog : public QObject {
    Q_OBJECT
public:
    explicit TSaveDialog(QWidget* owner);
    ~TSaveDialog() override;

    QString Filter = QStringLiteral("电子表格|*.xls");
    QString Title = QStringLiteral("保存");
    QString FileName;
    // Which of Filter's entries the user chose last time (-1: the chooser did not say).
    int FilterIndex = -1;

    bool Execute();

    void setChooser(std::unique_ptr<FileChooser> chooser);

private:
    QWidget* owner_;
    std::unique_ptr<FileChooser> chooser_;
};

} // namespace rg
