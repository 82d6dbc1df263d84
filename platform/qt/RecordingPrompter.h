// A Prompter for GUI tests: records every message and file dialog and
// answers from queues instead of showing anything.
#pragma once

#include "platform/qt/Prompter.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace platform::qt::testing {

struct RecordedMessage {
    QString kind;      // "information", "warning", "critical", "question"
    QString caption;
    QString text;
    QString details;
};

struct RecordedFileDialog {
    QString kind;      // "open", "open-many", "save"
    QString caption;
    QString initialPath;
    QString filter;
};

class RecordingPrompter final : public Prompter {
public:
    void information(QWidget*, const QString& caption, const QString& text, const QString& details) override
    {
        messages.append({QStringLiteral("information"), caption, text, details});
    }
    void warning(QWidget*, const QString& caption, const QString& text, const QString& details) override
    {
        messages.append({QStringLiteral("warning"), caption, text, details});
    }
    void critical(QWidget*, const QString& caption, const QString& text, const QString& details) override
    {
        messages.append({QStringLiteral("critical"), caption, text, details});
    }
    bool question(QWidget*, const QString& caption, const QString& text) override
    {
        messages.append({QStringLiteral("question"), caption, text, QString()});
        return questionAnswers.isEmpty() ? false : questionAnswers.takeFirst();
    }
    QString getOpenFileName(QWidget*, const QString& caption, const QString& initialPath,
                            const QString& filter) override
    {
        fileDialogs.append({QStringLiteral("open"), caption, initialPath, filter});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    QString getSaveFileName(QWidget*, const QString& caption, const QString& initialPath,
                            const QString& filter) override
    {
        fileDialogs.append({QStringLiteral("save"), caption, initialPath, filter});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }

    QStringList getOpenFileNames(QWidget*, const QString& caption, const QString& initialPath,
                                 const QString& filter) override
    {
        fileDialogs.append({QStringLiteral("open-many"), caption, initialPath, filter});
        return fileListAnswers.isEmpty() ? QStringList() : fileListAnswers.takeFirst();
    }
    // As a save dialog does: the suffix is added to a name typed without one.
    QString getSaveFileNameWithSuffix(QWidget*, const QString& caption, const QString& initialPath,
                                      const QString& filter, const QString& defaultSuffix) override
    {
        fileDialogs.append({QStringLiteral("save"), caption, initialPath, filter});
        QString answer = fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
        if (!answer.isEmpty() && !answer.section(QLatin1Char('/'), -1).contains(QLatin1Char('.')))
            answer += QLatin1Char('.') + defaultSuffix;
        return answer;
    }

    QList<RecordedMessage> messages;
    QList<RecordedFileDialog> fileDialogs;
    QList<bool> questionAnswers;
    QStringList fileAnswers;   // an empty entry answers "Cancel"
    QList<QStringList> fileListAnswers;   // for getOpenFileNames; an empty list answers "Cancel"
};

} // namespace platform::qt::testing
