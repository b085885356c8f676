#pragma once

#include "vare/TimeCode.h"

#include <QDialog>
#include <QImage>
#include <QRect>
#include <functional>

class CQuickTime;
class IPrompts;
class QPushButton;
class QScrollArea;

// A picture shown at its own size.
class CPhotoStatic : public QWidget {
    Q_OBJECT
public:
    explicit CPhotoStatic(QWidget* pParent = nullptr);
    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }
    QSize sizeHint() const override { return m_picture.size(); }

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QImage m_picture;
};

// The picture with a rectangle the user drags over it, from either corner; the rectangle stays inside
// the picture.
class CPhotoSelectStatic : public CPhotoStatic {
    Q_OBJECT
public:
    explicit CPhotoSelectStatic(QWidget* pParent = nullptr);
    // The chosen part in the picture's pixels; empty when none.
    QRect selection() const;

protected:
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QPoint clampToPicture(const QPoint& pt) const;

    QPoint m_ptAnchor;
    QPoint m_ptEnd;
    bool m_bDragging = false;
};

// "Prendre une photo": the picture at the current time; OK keeps the part chosen as the role's photo.
class CPhotoDlg : public QDialog {
    Q_OBJECT
public:
    // The JPEG quality of the photos kept.
    static constexpr int JPEG_QUALITY = 90;

    CPhotoDlg(const QImage& picture, IPrompts& prompts, QWidget* pParent = nullptr);
    // After OK: the part chosen as JPEG in Base64, as a role keeps it.
    const QString& photo() const { return m_strPhoto; }
    CPhotoSelectStatic* selectArea() const { return m_pSelect; }
    QPushButton* okButton() const { return m_pOk; }
    void accept() override;

    // That part of the picture, JPEG in Base64; empty when the rectangle holds no pixel of it.
    static QString encodePhoto(const QImage& picture, const QRect& rc);

    // The picture of the movie the player shows, at tc, read from the movie itself at its full size
    // (not from a working copy the player may be playing); null without a movie.
    static QImage grabPicture(CQuickTime& player, const CTimeCode& tc);

    // What the role dialog's "&Prendre une photo..." runs: the dialog over the picture at the clock's
    // time; the photo, or empty when there is no picture or the user cancels.
    static std::function<QString(QWidget*)> photoSource(CQuickTime& player, std::function<CTimeCode()> now,
                                                        IPrompts& prompts,
                                                        std::function<int(CPhotoDlg&)> run = {});

protected:
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    IPrompts& m_prompts;
    QScrollArea* m_pScroll;
    CPhotoSelectStatic* m_pSelect;
    QPushButton* m_pOk;
    QPushButton* m_pCancel;
    QString m_strPhoto;
};
