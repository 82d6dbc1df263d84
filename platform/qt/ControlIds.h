// Control ids: each control of a window carries the id its dialog template
// gave it, as the dynamic property "controlId", so tests (and the windows
// themselves) find controls the way the dialog code names them.
//
// Ids are unique within one window, not across windows: each program keeps
// the ids of each dialog in that dialog's own header, checked there with
// ControlIdsDistinct at compile time.
#pragma once

#include <QList>

#include <initializer_list>

class QWidget;

namespace platform::qt {

inline constexpr const char* kControlIdProperty = "controlId";

void SetControlId(QWidget* widget, int id);
// The id `widget` carries, or 0 when it has none.
int ControlId(const QWidget* widget);
// The control of root's window (or root itself) carrying `id`, or nullptr;
// controls of windows opened on top of it are not searched.
QWidget* FindControl(QWidget* root, int id);
// Ids carried by more than one control of root's window, each listed once.
QList<int> DuplicateControlIds(QWidget* root);

// True when no two ids of the list are equal: for a static_assert beside a
// dialog's id table.
constexpr bool ControlIdsDistinct(std::initializer_list<int> ids)
{
    for (const int* a = ids.begin(); a != ids.end(); ++a)
        for (const int* b = a + 1; b != ids.end(); ++b)
            if (*a == *b)
                return false;
    return true;
}

} // namespace platform::qt
