#pragma once

#include "app/ui/okcancl1.h"

class QPlainTextEdit;

namespace rg {

// The About box: the generic dialog with one "关闭" button and a text box.
class TOKHelpBottomDlg : public TOKBottomDlg {
    Q_OBJECT
public:
    explicit TOKHelpBottomDlg(QWidget* parent = nullptr);

    QPlainTextEdit* Memo1;
};

} // namespace rg
