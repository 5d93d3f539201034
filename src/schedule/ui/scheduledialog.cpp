#include "schedule/ui/scheduledialog.h"

#include "common/datepresets.h"
#include "common/error.h"
#include "common/ui/commandguard.h"
#include "schedule/schedulelog.h"
#include "schedule/schedulerun.h"
#include "setup/reportdefinition.h"
#include "setup/setuppasswords.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace rg {
namespace {

QPushButton* button(QWidget* parent, const char* name, const char* text) {
    auto b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

// A new schedule of the report: daily at eight, into the report's name and the date.
Schedule freshSchedule(const std::string& setupFile) {
    Schedule s;
    s.setupFile = setupFile;
    s.name = ReportName(setupFile);
    return s;
}

} // namespace

TScheduleDialog::TScheduleDialog(const std::string& setupFile, ScheduleFolders folders,
                                 TimerPlace place, QWidget* parent)
    : QDialog(parent), setupFile_(setupFile), folders_(std::move(folders)),
      place_(std::move(place)) {
    setObjectName(QStringLiteral("ScheduleDialog"));
    setWindowTitle(QStringLiteral("定时输出：") + QString::fromStdString(ReportName(setupFile)));
    auto columns = new QHBoxLayout(this);
    auto left = new QVBoxLayout;
    lstSchedules = new QListWidget(this);
    lstSchedules->setObjectName(QStringLiteral("lstSchedules"));
    left->addWidget(lstSchedules);
    auto listButtons = new QHBoxLayout;
    btnNew = button(this, "btnNew", "新建");
    btnRemove = button(this, "btnRemove", "删除");
    listButtons->addWidget(btnNew);
    listButtons->addWidget(btnRemove);
    left->addLayout(listButtons);
    columns->addLayout(left, 1);

    auto right = new QVBoxLayout;
    auto nameRow = new QFormLayout;
    edName = new QLineEdit(this);
    edName->setObjectName(QStringLiteral("edName"));
    nameRow->addRow(QStringLiteral("名称"), edName);
    right->addLayout(nameRow);
    right->addWidget(buildWhen());
    right->addWidget(buildOutput());
    right->addWidget(buildMail());
    tblLog = new QTableWidget(0, 4, this);
    tblLog->setObjectName(QStringLiteral("tblLog"));
    tblLog->setHorizontalHeaderLabels({QStringLiteral("开始"), QStringLiteral("结束"),
                                       QStringLiteral("结果"), QStringLiteral("信息")});
    tblLog->horizontalHeader()->setStretchLastSection(true);
    tblLog->verticalHeader()->hide();
    tblLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    right->addWidget(new QLabel(QStringLiteral("运行记录"), this));
    right->addWidget(tblLog);
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);
    right->addWidget(lblStatus);
    auto bottom = new QHBoxLayout;
    bottom->addStretch();
    btnSave = button(this, "btnSave", "保存并安装");
    btnRunNow = button(this, "btnRunNow", "立即运行");
    btnClose = button(this, "btnClose", "关闭");
    bottom->addWidget(btnSave);
    bottom->addWidget(btnRunNow);
    bottom->addWidget(btnClose);
    right->addLayout(bottom);
    columns->addLayout(right, 3);

    schedules_ = readSchedules(folders_);
    connectControls();
    listSchedules({});
}

void TScheduleDialog::connectControls() {
    auto guarded = [this](void (TScheduleDialog::*handler)()) {
        return [this, handler] { guardCommand([&] { (this->*handler)(); }); };
    };
    connect(btnNew, &QPushButton::clicked, this, guarded(&TScheduleDialog::btnNewClick));
    connect(btnSave, &QPushButton::clicked, this, guarded(&TScheduleDialog::btnSaveClick));
    connect(btnRemove, &QPushButton::clicked, this, guarded(&TScheduleDialog::btnRemoveClick));
    connect(btnRunNow, &QPushButton::clicked, this, guarded(&TScheduleDialog::btnRunNowClick));
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(lstSchedules, &QListWidget::currentRowChanged, this,
            guarded(&TScheduleDialog::lstSchedulesChanged));
    connect(cbKind, &QComboBox::currentIndexChanged, this, guarded(&TScheduleDialog::kindChanged));
    auto next = [this] { showNextRun(); };
    connect(edTime, &QTimeEdit::timeChanged, this, next);
    connect(cbMonthDay, &QComboBox::currentIndexChanged, this, next);
    connect(edCron, &QLineEdit::textChanged, this, next);
    for (QCheckBox* c : chkDays)
        connect(c, &QCheckBox::toggled, this, next);
}

void TScheduleDialog::listSchedules(const std::string& select) {
    std::vector<std::string> installed;
    QString trouble;
    try {
        installed = installedTimers(place_);
    } catch (const std::exception& e) {
        trouble = QString::fromUtf8(e.what());
    }
    const QSignalBlocker quiet(lstSchedules);
    lstSchedules->clear();
    int selected = -1;
    for (const Schedule& s : schedules_) {
        if (s.setupFile != setupFile_)
            continue;
        const bool on = std::find(installed.begin(), installed.end(), s.id) != installed.end();
        auto item =
            new QListWidgetItem(QString::fromStdString(s.name) +
                                (on ? QStringLiteral("（已安装）") : QStringLiteral("（未安装）")));
        item->setData(Qt::UserRole, QString::fromStdString(s.id));
        lstSchedules->addItem(item);
        if (s.name == select || selected < 0)
            selected = lstSchedules->count() - 1;
    }
    if (!trouble.isEmpty())
        lblStatus->setText(trouble);
    lstSchedules->setCurrentRow(selected);
    btnRemove->setEnabled(selected >= 0);
    lstSchedulesChanged();
}

void TScheduleDialog::lstSchedulesChanged() {
    QListWidgetItem* item = lstSchedules->currentItem();
    const std::string id = item ? item->data(Qt::UserRole).toString().toStdString() : "";
    for (const Schedule& s : schedules_)
        if (!id.empty() && s.id == id) {
            showSchedule(s);
            showLog(s.name);
            return;
        }
    showSchedule(freshSchedule(setupFile_));
    showLog({});
}

void TScheduleDialog::kindChanged() {
    const int kind = cbKind->currentIndex();
    for (QCheckBox* c : chkDays)
        c->setEnabled(kind == 1);
    cbMonthDay->setEnabled(kind == 2);
    edCron->setEnabled(kind == 3);
    edTime->setEnabled(kind != 3);
    showNextRun();
}

void TScheduleDialog::showNextRun() {
    try {
        const std::optional<QDateTime> next = nextRun(
            formSchedule().rule(), QDateTime::currentDateTime(), QTimeZone::systemTimeZone());
        lblNextRun->setText(next ? QStringLiteral("下次运行：") +
                                       next->toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                                 : QStringLiteral("这个时间不会到来"));
    } catch (const std::exception& e) {
        lblNextRun->setText(QString::fromUtf8(e.what()));
    }
}

void TScheduleDialog::showLog(const std::string& name) {
    tblLog->setRowCount(0);
    if (name.empty())
        return;
    const std::vector<LogEntry> log = readLog(folders_, name);
    // The latest run first.
    for (auto e = log.rbegin(); e != log.rend(); ++e) {
        const int row = tblLog->rowCount();
        tblLog->insertRow(row);
        const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
        const QStringList cells{
            e->start.toLocalTime().toString(format), e->end.toLocalTime().toString(format),
            QString::fromUtf8(outcomeCaption(e->outcome)), QString::fromStdString(e->message)};
        for (int c = 0; c < cells.size(); ++c)
            tblLog->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
}

void TScheduleDialog::btnNewClick() {
    const QSignalBlocker quiet(lstSchedules);
    lstSchedules->setCurrentRow(-1);
    btnRemove->setEnabled(false);
    showSchedule(freshSchedule(setupFile_));
    showLog({});
    edName->setFocus();
}

void TScheduleDialog::keepPassword(Schedule& s) {
    const Schedule* before = nullptr;
    for (const Schedule& old : schedules_)
        if (!s.id.empty() && old.id == s.id)
            before = &old;
    if (!s.mail || s.mail->user.empty())
        return;
    if (s.mail->password.empty()) {
        if (before && before->mail) {
            s.mail->passwordInStore = before->mail->passwordInStore;
            s.mail->password = before->mail->password;
        }
        return;
    }
    const std::string why = writeSecret(mailSecretKey(*s.mail), s.mail->password);
    s.mail->passwordInStore = why.empty();
    if (why.empty()) {
        s.mail->password.clear();
        lblStatus->setText(QStringLiteral("邮件密码保存在密钥库中。"));
    } else {
        lblStatus->setText(
            QStringLiteral("密钥库不可用（%1）：邮件密码保存在定时输出文件中，只有本人可读。")
                .arg(QString::fromStdString(why)));
    }
}

void TScheduleDialog::btnSaveClick() {
    Schedule s = formSchedule();
    for (const auto& [name, value] : s.params)
        if (value.starts_with('@') && !DatePreset::parse(value.substr(1)))
            throw Error("参数“" + name + "”的预设“" + value.substr(1) + "”不存在");
    checkSchedule(s);
    for (const Schedule& other : schedules_)
        if (other.name == s.name && other.id != s.id)
            throw Error("已经有名为“" + s.name + "”的定时输出");
    if (s.id.empty())
        s.id = newScheduleId(schedules_);
    lblStatus->clear();
    keepPassword(s);
    std::vector<Schedule> list = schedules_;
    auto same =
        std::find_if(list.begin(), list.end(), [&](const Schedule& o) { return o.id == s.id; });
    if (same == list.end())
        list.push_back(s);
    else
        *same = s;
    writeSchedules(folders_, list);
    schedules_ = std::move(list);
    id_ = s.id;
    listSchedules(s.name);
    installTimer(place_, s);
    listSchedules(s.name);
    const QString timer =
        place_.systemd
            ? QStringLiteral("systemd 定时器 %1").arg(QString::fromStdString(timerUnitName(s)))
            : QStringLiteral("crontab 中的一行");
    lblStatus->setText(
        (lblStatus->text() + QStringLiteral(" 已保存，由%1运行：reportgen --run-schedule %2"))
            .arg(timer, QString::fromStdString(s.name))
            .trimmed());
}

void TScheduleDialog::btnRemoveClick() {
    QListWidgetItem* item = lstSchedules->currentItem();
    if (!item)
        return;
    const std::string id = item->data(Qt::UserRole).toString().toStdString();
    removeTimer(place_, id);
    std::vector<Schedule> list = schedules_;
    std::erase_if(list, [&](const Schedule& s) { return s.id == id; });
    writeSchedules(folders_, list);
    schedules_ = std::move(list);
    listSchedules({});
}

void TScheduleDialog::btnRunNowClick() {
    const Schedule* saved = nullptr;
    for (const Schedule& s : schedules_)
        if (!id_.empty() && s.id == id_)
            saved = &s;
    if (!saved)
        throw Error("请先保存定时输出，再运行它");
    // The run reads the same folders as this dialog: their XDG parents.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", QFileInfo(folders_.config).path());
    env.insert("XDG_DATA_HOME", QFileInfo(folders_.data).path());
    run_ = new QProcess(this);
    run_->setProcessEnvironment(env);
    const std::string name = saved->name;
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    // What the run logged says how it ended; a run that could not log says it on stderr.
    auto end = [this, name, started](const QString& trouble) {
        const std::vector<LogEntry> log = readLog(folders_, name);
        const bool logged = !log.empty() && log.back().start >= started;
        lblStatus->setText(logged ? QStringLiteral("运行结束：%1，%2")
                                        .arg(QString::fromUtf8(outcomeCaption(log.back().outcome)),
                                             QString::fromStdString(log.back().message))
                                  : QStringLiteral("运行失败：") + trouble);
        run_->deleteLater();
        run_ = nullptr;
        btnRunNow->setEnabled(true);
        showLog(name);
    };
    connect(run_, &QProcess::finished, this,
            [this, end] { end(QString::fromUtf8(run_->readAllStandardError()).trimmed()); });
    connect(run_, &QProcess::errorOccurred, this, [this, end](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            end(run_->errorString());
    });
    btnRunNow->setEnabled(false);
    lblStatus->setText(QStringLiteral("正在运行“%1”…").arg(QString::fromStdString(name)));
    run_->start(QString::fromStdString(place_.program),
                {QStringLiteral("--run-schedule"), QString::fromStdString(name)});
}

void RunScheduleDialog(QWidget* parent, const std::string& setupFile) {
    TScheduleDialog dialog(setupFile, ScheduleFolders::user(), TimerPlace::user(), parent);
    dialog.exec();
}

} // namespace rg
