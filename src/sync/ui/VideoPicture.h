#pragma once

#include <QImage>
#include <QMetaObject>
#include <QOpenGLWidget>

#include <atomic>

class CQuickTime;
class QPainter;

// The surface the main player draws its picture on, through libmpv's OpenGL render API. Without a
// picture (no movie, or a movie without video) it shows the default still image, or a neutral test
// card when that image cannot be read.
//
// Threading: mpv's render update callback runs on an mpv thread and only queues onRenderUpdate()
// here; everything else, and every render call, runs on the GUI thread with this widget's GL context
// current. The render context is freed before the GL context goes (reparenting, destruction).
class CVideoPicture : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit CVideoPicture(CQuickTime* pQT, QWidget* pParent = nullptr);
    ~CVideoPicture() override;

    // The still shown without a picture; a null image shows the test card.
    void setDefaultImage(const QImage& image);
    const QImage& getDefaultImage() const { return m_defaultImage; }
    // True once mpv draws into this widget.
    bool isAttached() const;
    // Pictures drawn by mpv so far (tests wait on it).
    int getRenderCount() const { return m_nRenderCount; }

    static void drawTestCard(QPainter& p, const QRect& r);

signals:
    // mpv has a new picture; the window is painted with it at once, with whatever else of the window
    // takes it along (the timecode, the band).
    void pictureDue();
    // After each picture mpv has drawn.
    void pictureRendered();

protected:
    void initializeGL() override;
    void paintGL() override;

private slots:
    void onRenderUpdate();

private:
    static void onMpvUpdate(void* pContext);
    void attach();
    void release();
    void drawStill();

    CQuickTime* m_pQT;
    QImage m_defaultImage;
    QMetaObject::Connection m_contextGone;
    int m_nRenderCount = 0;
    // An onRenderUpdate() is queued: mpv's updates that come meanwhile join it (one paint for all of
    // them, however late this thread is).
    std::atomic<bool> m_bUpdateQueued{false};
};
