// Message boxes and file dialogs of the programs' windows go through this
// interface, so GUI tests can record what the user would be told and answer
// the dialogs without a modal loop blocking them.
#pragma once

#include <QString>

class QWidget;

namespace platform::qt {

class Prompter {
public:
    virtual ~Prompter() = default;

    // `details` (may be empty) is shown on request below the text, e.g. the
    // operating system's reason for a failure.
    virtual void information(QWidget* parent, const QString& caption, const QString& text,
                             const QString& details) = 0;
    virtual void warning(QWidget* parent, const QString& caption, const QString& text,
                         const QString& details) = 0;
    // true for Yes.
    virtual bool question(QWidget* parent, const QString& caption, const QString& text) = 0;
    // The chosen path, or an empty string when the user cancelled.
    virtual QString getOpenFileName(QWidget* parent, const QString& caption, const QString& initialPath,
                                    const QString& filter) = 0;
    virtual QString getSaveFileName(QWidget* parent, const QString& caption, const QString& initialPath,
                                    const QString& filter) = 0;
};

// Real message boxes and file dialogs.
class QtPrompter final : public Prompter {
public:
    void information(QWidget* parent, const QString& caption, const QString& text,
                     const QString& details) override;
    void warning(QWidget* parent, const QString& caption, const QString& text,
                 const QString& details) override;
    bool question(QWidget* parent, const QString& caption, const QString& text) override;
    QString getOpenFileName(QWidget* parent, const QString& caption, const QString& initialPath,
                            const QString& filter) override;
    QString getSaveFileName(QWidget* parent, const QString& caption, const QString& initialPath,
                            const QString& filter) override;
};

} // namespace platform::qt
