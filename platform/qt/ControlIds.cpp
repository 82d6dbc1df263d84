#include "platform/qt/ControlIds.h"

#include <QMap>
#include <QVariant>
#include <QWidget>

namespace platform::qt {
namespace {

// root itself and the controls of its window; a window opened on top (a
// child dialog) has its own controls.
QList<QWidget*> controlsOf(QWidget* root)
{
    QList<QWidget*> controls{root};
    const auto children = root->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (child->window() == root->window())
            controls << child;
    }
    return controls;
}

} // namespace

void SetControlId(QWidget* widget, int id)
{
    widget->setProperty(kControlIdProperty, id);
}

int ControlId(const QWidget* widget)
{
    const QVariant value = widget->property(kControlIdProperty);
    return value.isValid() ? value.toInt() : 0;
}

QWidget* FindControl(QWidget* root, int id)
{
    if (root == nullptr || id == 0)
        return nullptr;
    for (QWidget* control : controlsOf(root)) {
        if (ControlId(control) == id)
            return control;
    }
    return nullptr;
}

QList<int> DuplicateControlIds(QWidget* root)
{
    QList<int> duplicates;
    if (root == nullptr)
        return duplicates;
    QMap<int, int> uses;
    for (QWidget* control : controlsOf(root)) {
        const int id = ControlId(control);
        if (id != 0 && ++uses[id] == 2)
            duplicates << id;
    }
    return duplicates;
}

} // namespace platform::qt
