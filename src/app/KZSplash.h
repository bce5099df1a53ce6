#pragma once

// The splash window: a borderless window the size of the splash image, with
// "Version: " and "Released: " texts written inside the image rectangle
// left 58, top 232, right 311, bottom 261.

#include <QImage>
#include <QWidget>
#include <filesystem>

class KZSplash : public QWidget {
public:
    static constexpr QRect kTextRect{QPoint(58, 232), QPoint(311, 261)};

    /// `image` must not be null.
    KZSplash(const QImage& image, const QString& versionText, const QString& releaseText);

    /// Reads the Targa image at `path`; null image when it is missing or cannot be read.
    static QImage LoadImage(const std::filesystem::path& path);

    const QString& VersionLine() const { return m_version; }
    const QString& ReleaseLine() const { return m_release; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
    QString m_version;
    QString m_release;
};
