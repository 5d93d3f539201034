// The form of the schedule dialog: its parts and the schedule they show.

#include "schedule/ui/scheduledialog.h"

#include "print/reportformats.h"
#include "setup/reportdefinition.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimeEdit>

namespace rg {
namespace {

struct KindCaption {
    ScheduleKind kind;
    const char* caption;
};
constexpr std::array<KindCaption, 4> kKinds{{{ScheduleKind::Daily, "每天"},
                                             {ScheduleKind::Weekly, "每周"},
                                             {ScheduleKind::Monthly, "每月"},
                                             {ScheduleKind::Cron, "表达式"}}};
struct SecurityCaption {
    MailSecurity security;
    const char* caption;
};
constexpr std::array<SecurityCaption, 3> kSecurities{{{MailSecurity::None, "不加密"},
                                                      {MailSecurity::StartTls, "STARTTLS"},
                                                      {MailSecurity::Tls, "TLS"}}};
constexpr std::array<const char*, 7> kDayCaptions{"一", "二", "三", "四", "五", "六", "日"};

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QString q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string s(const QString& text) {
    return text.trimmed().toStdString();
}

} // namespace

QWidget* TScheduleDialog::buildWhen() {
    auto box = named(new QGroupBox(QStringLiteral("运行时间"), this), "grpWhen");
    auto form = new QFormLayout(box);
    cbKind = named(new QComboBox(box), "cbKind");
    for (const KindCaption& k : kKinds)
        cbKind->addItem(QString::fromUtf8(k.caption));
    edTime = named(new QTimeEdit(box), "edTime");
    edTime->setDisplayFormat(QStringLiteral("HH:mm"));
    auto row = new QHBoxLayout;
    row->addWidget(cbKind);
    row->addWidget(edTime);
    form->addRow(QStringLiteral("频率"), row);
    auto days = new QHBoxLayout;
    for (size_t d = 0; d < chkDays.size(); ++d) {
        chkDays[d] = new QCheckBox(QString::fromUtf8(kDayCaptions[d]), box);
        chkDays[d]->setObjectName(QStringLiteral("chkDay%1").arg(d + 1));
        days->addWidget(chkDays[d]);
    }
    form->addRow(QStringLiteral("星期"), days);
    cbMonthDay = named(new QComboBox(box), "cbMonthDay");
    for (int d = 1; d <= 28; ++d)
        cbMonthDay->addItem(QStringLiteral("%1 日").arg(d), d);
    cbMonthDay->addItem(QStringLiteral("月末"), 0);
    form->addRow(QStringLiteral("每月"), cbMonthDay);
    edCron = named(new QLineEdit(box), "edCron");
    edCron->setPlaceholderText(QStringLiteral("分 时 日 月 周，例如 0 8 * * 1-5"));
    form->addRow(QStringLiteral("表达式"), edCron);
    lblNextRun = named(new QLabel(box), "lblNextRun");
    form->addRow(lblNextRun);
    return box;
}

QWidget* TScheduleDialog::buildOutput() {
    auto box = named(new QGroupBox(QStringLiteral("输出"), this), "grpOutput");
    auto form = new QFormLayout(box);
    tblParams = named(new QTableWidget(0, 2, box), "tblParams");
    tblParams->setHorizontalHeaderLabels({QStringLiteral("参数"), QStringLiteral("值")});
    tblParams->horizontalHeader()->setStretchLastSection(true);
    tblParams->verticalHeader()->hide();
    tblParams->setToolTip(QStringLiteral("留空取报表的默认值；日期可写 @预设，如 @上月初、@上月"));
    for (const SqlParameter& p : SetupParameters(setupFile_)) {
        const int r = tblParams->rowCount();
        tblParams->insertRow(r);
        auto name = new QTableWidgetItem(q(p.name));
        name->setFlags(Qt::ItemIsEnabled);
        name->setToolTip(p.defaultValue.empty() ? QStringLiteral("没有默认值")
                                                : QStringLiteral("默认：") + q(p.defaultValue));
        tblParams->setItem(r, 0, name);
        tblParams->setItem(r, 1, new QTableWidgetItem);
    }
    // Up to four parameters show without scrolling.
    tblParams->verticalHeader()->setDefaultSectionSize(24);
    tblParams->setFixedHeight(tblParams->horizontalHeader()->sizeHint().height() +
                              24 * std::clamp(tblParams->rowCount(), 1, 4) +
                              2 * tblParams->frameWidth());
    form->addRow(QStringLiteral("参数"), tblParams);
    auto formats = new QHBoxLayout;
    for (const ExportFormat& f : ReportFormats().formats()) {
        auto c = new QCheckBox(q(f.name), box);
        c->setObjectName(q("chkFormat_" + f.name));
        chkFormats.push_back(c);
        formats->addWidget(c);
    }
    form->addRow(QStringLiteral("格式"), formats);
    edFolder = named(new QLineEdit(box), "edFolder");
    edFolder->setPlaceholderText(QStringLiteral("不写文件时留空"));
    form->addRow(QStringLiteral("文件夹"), edFolder);
    edPattern = named(new QLineEdit(box), "edPattern");
    edPattern->setToolTip(
        QStringLiteral("{report} 报表名，{date} 期间或日期，{time} 开始时间；扩展名按格式"));
    form->addRow(QStringLiteral("文件名"), edPattern);
    chkSkipEmpty = named(new QCheckBox(QStringLiteral("报表没有行时不输出"), box), "chkSkipEmpty");
    form->addRow(chkSkipEmpty);
    spRetries = named(new QSpinBox(box), "spRetries");
    spRetries->setRange(0, 10);
    spRetrySeconds = named(new QSpinBox(box), "spRetrySeconds");
    spRetrySeconds->setRange(0, 3600);
    spRetrySeconds->setSuffix(QStringLiteral(" 秒"));
    auto retry = new QHBoxLayout;
    retry->addWidget(spRetries);
    retry->addWidget(new QLabel(QStringLiteral("次，间隔"), box));
    retry->addWidget(spRetrySeconds);
    form->addRow(QStringLiteral("失败重试"), retry);
    return box;
}

QGroupBox* TScheduleDialog::buildMail() {
    grpMail = named(new QGroupBox(QStringLiteral("发送邮件"), this), "grpMail");
    grpMail->setCheckable(true);
    auto form = new QFormLayout(grpMail);
    edHost = named(new QLineEdit(grpMail), "edHost");
    spPort = named(new QSpinBox(grpMail), "spPort");
    spPort->setRange(1, 65535);
    cbSecurity = named(new QComboBox(grpMail), "cbSecurity");
    for (const SecurityCaption& c : kSecurities)
        cbSecurity->addItem(QString::fromUtf8(c.caption));
    auto server = new QHBoxLayout;
    server->addWidget(edHost, 1);
    server->addWidget(spPort);
    server->addWidget(cbSecurity);
    form->addRow(QStringLiteral("SMTP 服务器"), server);
    edUser = named(new QLineEdit(grpMail), "edUser");
    edPassword = named(new QLineEdit(grpMail), "edPassword");
    edPassword->setEchoMode(QLineEdit::Password);
    auto login = new QHBoxLayout;
    login->addWidget(edUser);
    login->addWidget(new QLabel(QStringLiteral("密码"), grpMail));
    login->addWidget(edPassword);
    form->addRow(QStringLiteral("用户"), login);
    edFrom = named(new QLineEdit(grpMail), "edFrom");
    form->addRow(QStringLiteral("发件人"), edFrom);
    edTo = named(new QLineEdit(grpMail), "edTo");
    edTo->setPlaceholderText(QStringLiteral("多个收件人用逗号或分号分隔"));
    form->addRow(QStringLiteral("收件人"), edTo);
    edSubject = named(new QLineEdit(grpMail), "edSubject");
    form->addRow(QStringLiteral("主题"), edSubject);
    edBody = named(new QPlainTextEdit(grpMail), "edBody");
    edBody->setMaximumHeight(70);
    form->addRow(QStringLiteral("正文"), edBody);
    chkAttach = named(new QCheckBox(QStringLiteral("附上输出的文件"), grpMail), "chkAttach");
    form->addRow(chkAttach);
    return grpMail;
}

Schedule TScheduleDialog::formSchedule() const {
    Schedule r;
    r.name = s(edName->text());
    r.id = id_;
    r.setupFile = setupFile_;
    r.kind = kKinds[cbKind->currentIndex()].kind;
    r.hour = edTime->time().hour();
    r.minute = edTime->time().minute();
    r.isoWeekdays.clear();
    for (size_t d = 0; d < chkDays.size(); ++d)
        if (chkDays[d]->isChecked())
            r.isoWeekdays.push_back(static_cast<int>(d) + 1);
    r.monthDay = cbMonthDay->currentData().toInt();
    r.cron = s(edCron->text());
    for (int row = 0; row < tblParams->rowCount(); ++row)
        if (const std::string value = s(tblParams->item(row, 1)->text()); !value.empty())
            r.params.emplace_back(s(tblParams->item(row, 0)->text()), value);
    r.formats.clear();
    for (QCheckBox* c : chkFormats)
        if (c->isChecked())
            r.formats.push_back(s(c->text()));
    r.folder = s(edFolder->text());
    r.namePattern = s(edPattern->text());
    if (grpMail->isChecked()) {
        MailSettings m;
        m.host = s(edHost->text());
        m.port = spPort->value();
        m.security = kSecurities[cbSecurity->currentIndex()].security;
        m.user = s(edUser->text());
        m.password = edPassword->text().toStdString();
        m.from = s(edFrom->text());
        for (const QString& to : edTo->text().split(QRegularExpression("[,;，；]")))
            if (!to.trimmed().isEmpty())
                m.to.push_back(s(to));
        m.subject = s(edSubject->text());
        m.body = edBody->toPlainText().toStdString();
        m.attach = chkAttach->isChecked();
        r.mail = m;
    }
    r.skipEmpty = chkSkipEmpty->isChecked();
    r.retries = spRetries->value();
    r.retrySeconds = spRetrySeconds->value();
    return r;
}

void TScheduleDialog::showSchedule(const Schedule& sc) {
    id_ = sc.id;
    edName->setText(q(sc.name));
    for (size_t k = 0; k < kKinds.size(); ++k)
        if (kKinds[k].kind == sc.kind)
            cbKind->setCurrentIndex(static_cast<int>(k));
    edTime->setTime(QTime(sc.hour, sc.minute));
    for (size_t d = 0; d < chkDays.size(); ++d)
        chkDays[d]->setChecked(std::find(sc.isoWeekdays.begin(), sc.isoWeekdays.end(),
                                         static_cast<int>(d) + 1) != sc.isoWeekdays.end());
    cbMonthDay->setCurrentIndex(std::max(0, cbMonthDay->findData(sc.monthDay)));
    edCron->setText(q(sc.cron));
    for (int row = 0; row < tblParams->rowCount(); ++row) {
        QString value;
        for (const auto& [name, text] : sc.params)
            if (q(name) == tblParams->item(row, 0)->text())
                value = q(text);
        tblParams->item(row, 1)->setText(value);
    }
    for (QCheckBox* c : chkFormats)
        c->setChecked(std::find(sc.formats.begin(), sc.formats.end(), s(c->text())) !=
                      sc.formats.end());
    edFolder->setText(q(sc.folder));
    edPattern->setText(q(sc.namePattern));
    const MailSettings m = sc.mail.value_or(MailSettings{});
    grpMail->setChecked(sc.mail.has_value());
    edHost->setText(q(m.host));
    spPort->setValue(m.port);
    for (size_t c = 0; c < kSecurities.size(); ++c)
        if (kSecurities[c].security == m.security)
            cbSecurity->setCurrentIndex(static_cast<int>(c));
    edUser->setText(q(m.user));
    // A password is never shown again; an empty box keeps the one saved.
    edPassword->clear();
    edPassword->setPlaceholderText(m.passwordInStore || !m.password.empty()
                                       ? QStringLiteral("（已保存，留空不变）")
                                       : QString());
    edFrom->setText(q(m.from));
    QStringList to;
    for (const std::string& t : m.to)
        to << q(t);
    edTo->setText(to.join(QStringLiteral(", ")));
    edSubject->setText(q(m.subject));
    edBody->setPlainText(q(m.body));
    chkAttach->setChecked(m.attach);
    chkSkipEmpty->setChecked(sc.skipEmpty);
    spRetries->setValue(sc.retries);
    spRetrySeconds->setValue(sc.retrySeconds);
    kindChanged();
}

} // namespace rg
