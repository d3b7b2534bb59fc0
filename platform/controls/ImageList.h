#pragma once
// A list of small images addressed by a 1-based index, a key and a tag, as grids use them to
// draw codes as icons.

#include <QColor>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>

namespace erpctl {

class ImageList : public QObject {
    Q_OBJECT
public:
    explicit ImageList(QObject* parent = nullptr);

    // Appends an image; false (and nothing added) when the key is empty or already used.
    bool addImage(const QString& key, const QString& tag, const QIcon& icon);
    void clear();
    int count() const { return int(m_entries.size()); }

    // By 1-based index; a null icon outside 1..count().
    QIcon icon(int index) const;
    QIcon icon(const QString& key) const;
    QString key(int index) const;
    QString tag(int index) const;
    int indexOf(const QString& key) const;

    int imageSize() const { return m_size; }
    void setImageSize(int pixels) { m_size = pixels; }

    // Fills the list with the five status lights: 1 "VERDE", 2 "GIALLO", 3 "ROSSO",
    // 4 "GRIGIO", 5 "ROSA", tagged "1" to "5".
    void addStatusImages();
    // The colour of status light `index` (1 to 5, as above); the late red is 3. Black outside.
    static QColor statusColor(int index);
    // A round light of the given colour, shaded so it reads as a lamp on any background.
    static QIcon roundIcon(const QColor& color, int size = 16);

private:
    struct Entry {
        QString key;
        QString tag;
        QIcon icon;
    };
    QList<Entry> m_entries;
    int m_size = 16;
};

} // namespace erpctl
