#pragma once

// The dialog "定时输出" of a saved report: the user's schedules of that report, each with
// when it runs, its parameter values, formats, folder and mail, its options, its timer and
// the log of its runs. Saving a schedule writes the schedules file and installs its timer;
// removing it takes both away.

#include "schedule/schedule.h"
#include "schedule/scheduletimer.h"

#include <QDialog>

#include <array>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProcess;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimeEdit;

namespace rg {

class TScheduleDialog : public QDialog {
    Q_OBJECT
public:
    TScheduleDialog(const std::string& setupFile, ScheduleFolders folders, TimerPlace place,
                    QWidget* parent = nullptr);

    // The handlers; each runs inside the command guard.
    void btnNewClick();
    void btnSaveClick();   // checks the form, stores the schedule, installs its timer
    void btnRemoveClick(); // the selected schedule and its timer
    // Runs the saved schedule now, as its timer would, and shows its log when it ends.
    void btnRunNowClick();
    void lstSchedulesChanged();
    void kindChanged();

    // The form as a schedule, and a schedule into the form.
    Schedule formSchedule() const;
    void showSchedule(const Schedule& s);

    QListWidget* lstSchedules;
    QPushButton *btnNew, *btnRemove, *btnSave, *btnRunNow, *btnClose;
    QLineEdit* edName;
    QComboBox* cbKind; // 每天, 每周, 每月, 表达式
    QTimeEdit* edTime;
    std::array<QCheckBox*, 7> chkDays; // "chkDay1" Monday .. "chkDay7" Sunday
    QComboBox* cbMonthDay;             // 1 .. 28, then 月末
    QLineEdit* edCron;
    QLabel* lblNextRun;
    QTableWidget* tblParams;            // the report's parameters and the schedule's values
    std::vector<QCheckBox*> chkFormats; // "chkFormat_xlsx" ..., in the registry's order
    QLineEdit *edFolder, *edPattern;
    QGroupBox* grpMail;
    QLineEdit *edHost, *edUser, *edPassword, *edFrom, *edTo, *edSubject;
    QSpinBox* spPort;
    QComboBox* cbSecurity; // 不加密, STARTTLS, TLS
    QPlainTextEdit* edBody;
    QCheckBox *chkAttach, *chkSkipEmpty;
    QSpinBox *spRetries, *spRetrySeconds;
    QTableWidget* tblLog; // 开始, 结束, 结果, 信息
    QLabel* lblStatus;    // the timer and where the password went

private:
    QWidget* buildWhen();
    QWidget* buildOutput();
    QGroupBox* buildMail();
    void connectControls();
    void listSchedules(const std::string& select);
    void showLog(const std::string& name);
    void showNextRun();
    // The password typed goes to the secret store where one answers, else into the file.
    void keepPassword(Schedule& s);

    std::string setupFile_;
    ScheduleFolders folders_;
    TimerPlace place_;
    std::vector<Schedule> schedules_; // the whole file: other reports' schedules are kept
    std::string id_;                  // of the schedule in the form; empty for a new one
    QProcess* run_ = nullptr;         // the run started with 立即运行, while it runs
};

// The dialog on the report in `setupFile`, with the user's schedules and timers.
void RunScheduleDialog(QWidget* parent, const std::string& setupFile);

} // namespace rg
