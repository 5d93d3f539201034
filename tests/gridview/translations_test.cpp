#include "app/ui/program.h"
#include "datasource/ui/adoconed.h"
#include "datasource/ui/connproperties.h"
#include "datasource/ui/sqledit.h"
#include "grid/ui/customfilterdialog.h"
#include "grid/ui/findbar.h"

#include "qtapplication.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace rg;

namespace {

// Sets LANGUAGE for one block and puts the earlier value back.
class Language {
public:
    explicit Language(const char* value)
        : had_(qEnvironmentVariableIsSet("LANGUAGE")), old_(qgetenv("LANGUAGE")) {
        if (value)
            qputenv("LANGUAGE", value);
        else
            qunsetenv("LANGUAGE");
        installTranslations();
    }
    ~Language() {
        if (had_)
            qputenv("LANGUAGE", old_);
        else
            qunsetenv("LANGUAGE");
        installTranslations();
    }

private:
    bool had_;
    QByteArray old_;
};

QString formLabel(const TConnPropertiesDialog& d, QWidget* field) {
    const auto* form = d.findChild<QFormLayout*>();
    const auto* label = form ? qobject_cast<QLabel*>(form->labelForField(field)) : nullptr;
    return label ? label->text() : QString();
}

} // namespace

// The program's own dialogs speak Chinese from program start, English with LANGUAGE=en;
// their object names stay, and the texts the program keeps in English (the connection
// string editor's and the SQL builder's) stay English either way.
TEST(Translations, ChineseByDefaultEnglishWithLanguageEn) {
    rgtest::qtApp();
    {
        const Language chinese(nullptr);
        QTemporaryDir setups;
        auto windows = createStartWindows(setups.path() + "/"); // installs them at start
        EXPECT_EQ(QCoreApplication::translate("rg::TdxFindBar", "Not found"),
                  QStringLiteral("找不到"));

        TCustomFilterDialog filter(QStringLiteral("地区"), {}, nullptr);
        EXPECT_EQ(filter.objectName(), "CustomFilterDialog");
        EXPECT_EQ(filter.windowTitle(), QStringLiteral("自定义筛选"));
        EXPECT_EQ(filter.cbOperator1->currentText(), QStringLiteral("等于"));
        EXPECT_EQ(filter.rbAnd->text(), QStringLiteral("并且(&A)"));

        TConnPropertiesDialog props;
        EXPECT_EQ(props.objectName(), "ConnPropertiesDialog");
        EXPECT_EQ(props.windowTitle(), QStringLiteral("连接属性"));
        EXPECT_EQ(props.TestConnection->text(), QStringLiteral("测试连接(&T)"));
        EXPECT_EQ(formLabel(props, props.Server), QStringLiteral("服务器(&S)："));
        EXPECT_EQ(props.ProviderList->itemText(0), QStringLiteral("SQLite（内置提供程序）"));

        TdxFindBar bar(nullptr);
        EXPECT_EQ(bar.matchCase->text(), QStringLiteral("区分大小写"));
        EXPECT_EQ(bar.wholeCell->text(), QStringLiteral("整个单元格"));

        TConnEditForm editor;
        EXPECT_EQ(editor.UseDataLinkFile->text(), "Use Data &Link File");
        EXPECT_EQ(editor.CancelButton->text(), "Cancel");
        TSQLEditForm sql;
        EXPECT_EQ(sql.windowTitle(), "CommandText Editor");
        const QImage shot = filter.grab().toImage();
        shot.save("/tmp/gridview-customfilter-zh.png");
    }
    {
        const Language english("en_GB:zh_CN");
        TCustomFilterDialog filter(QStringLiteral("region"), {}, nullptr);
        EXPECT_EQ(filter.windowTitle(), "Custom Filter");
        EXPECT_EQ(filter.cbOperator1->currentText(), "equals");
        TConnPropertiesDialog props;
        EXPECT_EQ(props.windowTitle(), "Connection Properties");
        EXPECT_EQ(props.TestConnection->text(), "&Test Connection");
        TdxFindBar bar(nullptr);
        EXPECT_EQ(bar.matchCase->text(), "Match case");
    }
    // A language list that prefers Chinese keeps Chinese.
    const Language chineseFirst("zh_CN:en");
    EXPECT_FALSE(englishRequested());
    TCustomFilterDialog filter(QStringLiteral("地区"), {}, nullptr);
    EXPECT_EQ(filter.windowTitle(), QStringLiteral("自定义筛选"));
}
