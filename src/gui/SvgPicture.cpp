#include "gui/SvgPicture.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The drawings are compiled into this static library; their registration
// has to be asked for by name.
static void registerPictures()
{
    Q_INIT_RESOURCE(resources);
}

namespace varnel::gui {

void ensurePictures()
{
    static const bool done = (registerPictures(), true);
    (void)done;
}

SvgPicture::SvgPicture(const QString &resource, QWidget *parent)
    : QWidget(parent)
    , m_renderer((ensurePictures(), new QSvgRenderer(resource, this)))
{
    m_renderer->setAspectRatioMode(Qt::IgnoreAspectRatio);
}

void SvgPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    m_renderer->render(&p, QRectF(rect()));
}

QIcon svgIcon(const QString &resource, int size)
{
    ensurePictures();
    QSvgRenderer renderer(resource);
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(size * scale, size * scale);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        renderer.render(&p);
        p.end();
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace varnel::gui
