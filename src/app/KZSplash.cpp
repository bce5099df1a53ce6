#include "app/KZSplash.h"

#include <QPainter>

#include "foundation/KTarga.h"

KZSplash::KZSplash(const QImage& image, const QString& versionText, const QString& releaseText)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_image(image),
      m_version(QStringLiteral("Version: ") + versionText),
      m_release(QStringLiteral("Released: ") + releaseText) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(m_image.size());
}

QImage KZSplash::LoadImage(const std::filesystem::path& path) {
    try {
        const KImage image = LoadTarga(path);
        if (image.width <= 0 || image.height <= 0 ||
            image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height)) {
            return {};
        }
        QImage result(image.width, image.height, QImage::Format_ARGB32);
        for (int y = 0; y < image.height; ++y) {
            auto* line = reinterpret_cast<uint32_t*>(result.scanLine(y));
            const uint32_t* source = image.pixels.data() + static_cast<size_t>(y) * image.width;
            std::copy(source, source + image.width, line);
        }
        return result;
    } catch (...) {
        // A splash that cannot be read is only not shown.
        return {};
    }
}

void KZSplash::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
    // The texts share the rectangle, one above the other, shrunk to fit its height.
    const QRect area = kTextRect.intersected(rect());
    if (area.isEmpty()) {
        return;
    }
    QFont font = painter.font();
    font.setPixelSize(std::max(6, area.height() / 2 - 2));
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRect top(area.left(), area.top(), area.width(), area.height() / 2);
    const QRect bottom(area.left(), area.top() + area.height() / 2, area.width(),
                       area.height() - area.height() / 2);
    painter.drawText(top, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_version);
    painter.drawText(bottom, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_release);
}
