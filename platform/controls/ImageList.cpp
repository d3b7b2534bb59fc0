#include "platform/controls/ImageList.h"

#include <QPainter>
#include <QPixmap>
#include <QRadialGradient>

#include <iterator>

namespace erpctl {

ImageList::ImageList(QObject* parent) : QObject(parent) {}

bool ImageList::addImage(const QString& key, const QString& tag, const QIcon& icon) {
    if (key.isEmpty() || indexOf(key) > 0)
        return false;
    m_entries.append({key, tag, icon});
    return true;
}

void ImageList::clear() {
    m_entries.clear();
}

QIcon ImageList::icon(int index) const {
    if (index < 1 || index > count())
        return {};
    return m_entries[index - 1].icon;
}

QIcon ImageList::icon(const QString& key) const {
    return icon(indexOf(key));
}

QString ImageList::key(int index) const {
    return index >= 1 && index <= count() ? m_entries[index - 1].key : QString();
}

QString ImageList::tag(int index) const {
    return index >= 1 && index <= count() ? m_entries[index - 1].tag : QString();
}

int ImageList::indexOf(const QString& key) const {
    for (int i = 0; i < count(); ++i) {
        if (m_entries[i].key.compare(key, Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}

namespace {

const struct {
    const char* key;
    QColor color;
} kStatusLights[] = {
    {"VERDE", QColor(46, 160, 67)},    {"GIALLO", QColor(240, 190, 20)}, {"ROSSO", QColor(210, 40, 40)},
    {"GRIGIO", QColor(140, 140, 140)}, {"ROSA", QColor(240, 130, 180)},
};

} // namespace

QColor ImageList::statusColor(int index) {
    if (index < 1 || index > int(std::size(kStatusLights)))
        return QColor(Qt::black);
    return kStatusLights[index - 1].color;
}

void ImageList::addStatusImages() {
    int tag = 1;
    for (const auto& light : kStatusLights)
        addImage(QString::fromLatin1(light.key), QString::number(tag++), roundIcon(light.color, m_size));
}

QIcon ImageList::roundIcon(const QColor& color, int size) {
    QIcon icon;
    // Two resolutions so the lamp stays sharp on high-density screens.
    for (const int scale : {1, 2}) {
        const int px = size * scale;
        QPixmap pixmap(px, px);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF area(1.0 * scale, 1.0 * scale, px - 2.0 * scale, px - 2.0 * scale);
        QRadialGradient shade(area.center() - QPointF(area.width() / 5, area.height() / 5),
                              area.width() * 0.7);
        shade.setColorAt(0.0, color.lighter(150));
        shade.setColorAt(1.0, color);
        painter.setBrush(shade);
        painter.setPen(QPen(color.darker(150), 1.0 * scale));
        painter.drawEllipse(area);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace erpctl
