#pragma once

#include "sync/WorkingCopyController.h"

#include <QDialog>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// "Copie de travail": the small window that stays beside the main one while a copy is made, with the
// share done, the time left and "Annuler". Not modal: the work goes on meanwhile.
class CWorkingCopyProgressDlg : public QDialog {
    Q_OBJECT
public:
    explicit CWorkingCopyProgressDlg(QWidget* pParent = nullptr);

    void setProgress(const QString& strMovie, double dDone, int nSecondsLeft);
    QString text() const;     // what the window says (tests)
    QString timeLeft() const; // the time-left line (tests)
    QPushButton* cancelButton() const { return m_pCancel; }

    // "Temps restant : 1 min 05 s"; "Temps restant : calcul en cours" while unknown.
    static QString timeLeftText(int nSeconds);

signals:
    void cancelled();

private:
    QLabel* m_pText;
    QProgressBar* m_pBar;
    QLabel* m_pTimeLeft;
    QPushButton* m_pCancel;
};

// For the preferences: the room the working copies take, and a button that empties the cache (the
// copy playing stays).
class CWorkingCopyCacheWidget : public QWidget {
    Q_OBJECT
public:
    explicit CWorkingCopyCacheWidget(CWorkingCopyController& controller, QWidget* pParent = nullptr);

    void refresh();
    QString text() const;
    QPushButton* clearButton() const { return m_pClear; }

    // "Copies de travail : 1,4 Go"; "Copies de travail : aucune".
    static QString sizeText(qint64 nBytes);

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void clear();

    CWorkingCopyController& m_controller;
    QLabel* m_pSize;
    QPushButton* m_pClear;
};
