// Message boxes and file dialogs of the programs' windows go through this
// interface, so GUI tests can record what the user would be told and answer
// the dialogs without a modal loop blocking them.
#pragma once

#include <QString>
#include <QStringList>

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
    // A failure the user must see as an error (error icon); windows that
    // never report one need not care, so it falls back to a warning.
    virtual void critical(QWidget* parent, const QString& caption, const QString& text, const QString& details)
    {
        warning(parent, caption, text, details);
    }
    // true for Yes.
    virtual bool question(QWidget* parent, const QString& caption, const QString& text) = 0;
    // The chosen path, or an empty string when the user cancelled.
    virtual QString getOpenFileName(QWidget* parent, const QString& caption, const QString& initialPath,
                                    const QString& filter) = 0;
    virtual QString getSaveFileName(QWidget* parent, const QString& caption, const QString& initialPath,
                                    const QString& filter) = 0;
    // Several files at once, in the order the dialog gives them; empty when
    // the user cancelled.
    virtual QStringList getOpenFileNames(QWidget* parent, const QString& caption, const QString& initialPath,
                                         const QString& filter) = 0;
    // A save dialog that appends `defaultSuffix` (without the dot) to a name
    // typed without one before it asks whether to replace an existing file.
    virtual QString getSaveFileNameWithSuffix(QWidget* parent, const QString& caption, const QString& initialPath,
                                              const QString& filter, const QString& defaultSuffix) = 0;
};

// Real message boxes and file dialogs.
class QtPrompter final : public Prompter {
public:
    void information(QWidget* parent, const QString& caption, const QString& text,
                     const QString& details) override;
    void warning(QWidget* parent, const QString& caption, const QString& text,
                 const QString& details) override;
    void critical(QWidget* parent, const QString& caption, const QString& text,
                  const QString& details) override;
    bool question(QWidget* parent, const QString& caption, const QString& text) override;
    QString getOpenFileName(QWidget* parent, const QString& caption, const QString& initialPath,
                            const QString& filter) override;
    QString getSaveFileName(QWidget* parent, const QString& caption, const QString& initialPath,
                            const QString& filter) override;
    QStringList getOpenFileNames(QWidget* parent, const QString& caption, const QString& initialPath,
                                 const QString& filter) override;
    QString getSaveFileNameWithSuffix(QWidget* parent, const QString& caption, const QString& initialPath,
                                      const QString& filter, const QString& defaultSuffix) override;
};

} // namespace platform::qt
