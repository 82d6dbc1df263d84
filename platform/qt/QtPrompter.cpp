#include "platform/qt/Prompter.h"

#include <QFileDialog>
#include <QMessageBox>

namespace platform::qt {
namespace {

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
             const QString& details)
{
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.exec();
}

} // namespace

void QtPrompter::information(QWidget* parent, const QString& caption, const QString& text,
                             const QString& details)
{
    showBox(parent, QMessageBox::Information, caption, text, details);
}

void QtPrompter::warning(QWidget* parent, const QString& caption, const QString& text,
                         const QString& details)
{
    showBox(parent, QMessageBox::Warning, caption, text, details);
}

void QtPrompter::critical(QWidget* parent, const QString& caption, const QString& text,
                          const QString& details)
{
    showBox(parent, QMessageBox::Critical, caption, text, details);
}

bool QtPrompter::question(QWidget* parent, const QString& caption, const QString& text)
{
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

QString QtPrompter::getOpenFileName(QWidget* parent, const QString& caption, const QString& initialPath,
                                    const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, initialPath, filter);
}

QString QtPrompter::getSaveFileName(QWidget* parent, const QString& caption, const QString& initialPath,
                                    const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, initialPath, filter);
}

QStringList QtPrompter::getOpenFileNames(QWidget* parent, const QString& caption, const QString& initialPath,
                                         const QString& filter)
{
    return QFileDialog::getOpenFileNames(parent, caption, initialPath, filter);
}

QString QtPrompter::getSaveFileNameWithSuffix(QWidget* parent, const QString& caption, const QString& initialPath,
                                              const QString& filter, const QString& defaultSuffix)
{
    QFileDialog dialog(parent, caption, initialPath, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace platform::qt
