#pragma once

#include <QIcon>
#include <QWidget>

class QSvgRenderer;

namespace varnel::gui {

// A widget that paints an SVG drawing over its whole area (the banner).
class SvgPicture : public QWidget {
    Q_OBJECT
public:
    explicit SvgPicture(const QString &resource, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QSvgRenderer *m_renderer;
};

// Makes the program's drawings available as ":/varnel/…" resources.
void ensurePictures();

// An icon drawn from an SVG resource at the given size (and twice it, for
// scaled screens).
QIcon svgIcon(const QString &resource, int size);

} // namespace varnel::gui
