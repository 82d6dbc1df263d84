#include "corvane/nv/preview_gui/NvPreviewWidget.h"

#include <QPainter>
#include <QPaintEvent>

#include <algorithm>

namespace corvane {

NvPreviewWidget::NvPreviewWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("preview"));
    // The picture never asks for room: the box keeps the size the dialog
    // gives it, whatever it shows.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize NvPreviewWidget::sizeHint() const
{
    return QSize(200, 150);
}

void NvPreviewWidget::ShowImage(const std::string& path)
{
    if (path == path_)
        return;
    path_ = path;
    ensureLoaded();
    update();
}

void NvPreviewWidget::SetBrightness(int value)
{
    value = std::clamp(value, 0, 100);
    if (value == brightness_)
        return;
    brightness_ = value;
    relighten();
    update();
}

void NvPreviewWidget::ensureLoaded()
{
    if (path_.empty()) {
        picture_.Clear();
        loadedPath_.clear();
        loadedWidth_ = -1;
        loadError_.clear();
        shown_ = QImage();
        return;
    }
    if (path_ == loadedPath_ && width() == loadedWidth_)
        return;
    loadedPath_ = path_;
    loadedWidth_ = width();
    loadError_.clear();
    ++loadCount_;
    if (!picture_.Load(path_, std::uint32_t(std::max(0, width())), &loadError_) && loadError_.empty())
        loadError_ = "cannot preview " + path_;
    relighten();
}

void NvPreviewWidget::relighten()
{
    if (picture_.width() == 0 || picture_.height() == 0) {
        shown_ = QImage();
        return;
    }
    const std::vector<platform::Rgb> pixels = picture_.Lightened(brightness_);
    QImage image(int(picture_.width()), int(picture_.height()), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const platform::Rgb* from = pixels.data() + std::size_t(y) * picture_.width();
        for (int x = 0; x < image.width(); ++x) {
            const platform::Rgb c = from[x];
            line[x] = qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
        }
    }
    shown_ = std::move(image);
}

void NvPreviewWidget::paintEvent(QPaintEvent*)
{
    // The box's width is the scale: a resize since the last paint means a
    // new stretch.
    ensureLoaded();
    QImage canvas(size(), QImage::Format_RGB32);
    {
        QPainter painter(&canvas);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.setBrush(Qt::white);
        painter.drawRect(canvas.rect().adjusted(0, 0, -1, -1));
        if (!shown_.isNull())
            painter.drawImage(QPoint(0, 0), shown_);
    }
    rendered_ = canvas;
    QPainter(this).drawImage(QPoint(0, 0), canvas);
}

} // namespace corvane
