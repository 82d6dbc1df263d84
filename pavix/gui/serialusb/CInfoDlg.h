// The information window shown after a successful write: "Pavix", a list of
// the 27 rows (No, Name, Value) of the record just sent, and "OK".
#pragma once

#include "pavix/protocol/IfRecords.h"

#include <QDialog>

class QTreeWidget;

namespace pavix::gui {

class CInfoDlg final : public QDialog {
public:
    explicit CInfoDlg(const IfConfigRecord& record, QWidget* parent = nullptr);
    QTreeWidget* List() const { return list_; }

private:
    QTreeWidget* list_;
};

} // namespace pavix::gui
