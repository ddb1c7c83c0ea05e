#include "StringDetailsDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>

namespace quorvel {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

StringDetailsDialog::StringDetailsDialog(const StringInfo& info, QWidget* parent) : QDialog(parent), info_(info)
{
    setObjectName("frmStringDetails");
    setWindowTitle("String details");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* form = new QFormLayout(this);
    const std::pair<QWidget*, const char*> fields[] = {
        {&txtName, "txtName"}, {&txtGun, "txtGun"}, {&txtPellet, "txtPellet"}, {&txtNotes, "txtNotes"}};
    for (const auto& [field, name] : fields) field->setObjectName(name);
    txtName.setText(Q(info.name));
    txtGun.setText(Q(info.gun));
    txtPellet.setText(Q(info.pellet));
    txtNotes.setPlainText(Q(info.notes));
    txtNotes.setTabChangesFocus(true);
    form->addRow("&Name:", &txtName);
    form->addRow("&Gun:", &txtGun);
    form->addRow("&Pellet:", &txtPellet);
    form->addRow("N&otes:", &txtNotes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    resize(420, 260);
}

StringInfo StringDetailsDialog::Details() const
{
    StringInfo info = info_;
    info.name = txtName.text().trimmed().toStdString();
    if (info.name.empty()) info.name = info_.name;  // a string always has a name
    info.gun = txtGun.text().trimmed().toStdString();
    info.pellet = txtPellet.text().trimmed().toStdString();
    info.notes = txtNotes.toPlainText().toStdString();
    return info;
}

}  // namespace quorvel
