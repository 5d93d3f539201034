#include "app/ui/addfield.h"

namespace rg {

TfrmAddField::TfrmAddField(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAddField"));
    setWindowTitle(tr("字段添加"));
    setFixedSize(313, 149);
}

} // namespace rg
