#pragma once

#include <QAction>
#include <QKeySequence>
#include <QObject>
#include <functional>
#include <map>
#include <vector>

// Command identifiers: the ones other code and the traces name, plus our own for the rest.
namespace Cmd {
enum : int {
    // Files
    FILE_NEW = 57600,
    FILE_OPEN = 57601,
    FILE_SAVE = 57603,
    FILE_SAVE_AS = 57604,
    APP_EXIT = 57665,
    FILE_OPEN_BACKUP = 51000,
    FILE_SAVE_COPY = 51001,
    FILE_IMPORT_DETECTION = 51002,
    FILE_IMPORT_ROLES = 51003,
    FILE_EXPORT_SCRIPT = 51004,
    FILE_EXPORT_SUBTITLES = 51005,
    FILE_VIDEO = 51006,
    FILE_PROPERTIES = 51007,
    FILE_MRU_FIRST = 57616, // four entries
    // Editing (the band's and the dialogs')
    EDIT_UNDO = 57643,
    EDIT_CUT = 57635,
    EDIT_COPY = 57634,
    EDIT_PASTE = 57637,
    EDIT_SELECT_ALL = 57642,
    EDIT_FIND = 57636,
    EDIT_NEXT_TRACK = 51100,
    EDIT_PREVIOUS_TRACK,
    EDIT_TRACK_1,
    EDIT_TRACK_2,
    EDIT_TRACK_3,
    EDIT_TRACK_4,
    SIGN_OPEN_START,
    SIGN_OPEN_END,
    SIGN_CLOSED_START,
    SIGN_CLOSED_END,
    SIGN_LABIAL,
    SIGN_HALF_LABIAL,
    SIGN_NEUTRAL,
    SIGN_VOWEL_A,
    SIGN_VOWEL_I,
    SIGN_VOWEL_O,
    SIGN_ROUND,
    SIGN_LOOP,
    SIGN_SHOT,
    EDIT_SIGN_LEFT,
    EDIT_SIGN_RIGHT,
    EDIT_SIGN_DELETE,
    EDIT_UNLINK_ALL,
    EDIT_MODE,
    EDIT_LINE_CANCEL,
    EDIT_LINE_DELETE,
    EDIT_MOVE_TRACK_1,
    EDIT_MOVE_TRACK_2,
    EDIT_MOVE_TRACK_3,
    EDIT_MOVE_TRACK_4,
    EDIT_VOICE_OVER,
    EDIT_ROLES,
    EDIT_SHOT_DETECTION,
    EDIT_VERIFY,
    EDIT_SHIFT,
    EDIT_PREFERENCES,
    // Transport
    CONTROL_REWIND = 40001,
    CONTROL_FAST_FORWARD = 40002,
    CONTROL_NEXT_FRAME = 40003,
    CONTROL_PREVIOUS_FRAME = 40004,
    CONTROL_PLAY_PAUSE = 40005,
    CONTROL_GOTO = 40007,
    CONTROL_STOP = 40008,
    CONTROL_NEXT_SECOND = 40009,
    CONTROL_PREVIOUS_SECOND = 40010,
    CONTROL_NEXT_10_SECONDS = 40011,
    CONTROL_PREVIOUS_10_SECONDS = 40012,
    CONTROL_PLAY = 40156,
    CONTROL_REVERSE = 32879,
    CONTROL_JOG_FORWARD = 40064,
    CONTROL_JOG_BACKWARD = 40063,
    CONTROL_SHUTTLE_FIRST = 40046, // 14 speeds
    CONTROL_PREVIOUS_SIGN = 51200,
    CONTROL_NEXT_SIGN,
    CONTROL_PREVIOUS_LINE,
    CONTROL_NEXT_LINE,
    CONTROL_PREVIOUS_ROLE_LINE,
    CONTROL_NEXT_ROLE_LINE,
    CONTROL_PREVIOUS_LOOP,
    CONTROL_NEXT_LOOP,
    CONTROL_TIMESTAMP,
    CONTROL_CORVEL,
    POSITION_MARK = 40150,
    POSITION_DELETE = 40153,
    // Display
    VIEW_DETECTION = 51300,
    VIEW_GRID,
    VIEW_FULL_SCREEN,
    VIEW_ZOOM_IN,
    VIEW_ZOOM_OUT,
    VIEW_WORKING_COPY,
    VIEW_DEINTERLACE = 40065,
    VIEW_HIGH_QUALITY = 40066,
    VIEW_CONTROL_SCREEN = 40113,
    // Audio
    AUDIO_VI = 40067,
    AUDIO_VOLUME_UP = 40061,
    AUDIO_VOLUME_DOWN = 40062,
    AUDIO_MUTE = 40060,
    AUDIO_RECORD = 33056,
    // Help
    HELP_DOCUMENTATION = 51400,
    HELP_SHORTCUTS,
    HELP_WEB,
    HELP_UPDATES,
    HELP_RELEASE_NOTES,
    APP_ABOUT = 57664,
};
} // namespace Cmd

// One QAction per command, with its French caption (the text after a tab is the shortcut shown) and
// its keys. A command without a handler stays disabled. A caption that shows no shortcut keeps its
// keys on a hidden companion action, so that the menu shows the caption exactly as written.
class CCommands : public QObject {
    Q_OBJECT
public:
    explicit CCommands(QObject* pParent = nullptr) : QObject(pParent) {}

    QAction* add(int nId, const QString& strCaption, const QList<QKeySequence>& keys = {},
                 bool bCheckable = false);
    QAction* action(int nId) const;
    // Attaches the handler and enables the command.
    void handle(int nId, std::function<void()> fn);
    // Runs a command as the menu or its key would (disabled commands do nothing).
    bool trigger(int nId);
    const std::map<int, QAction*>& all() const { return m_actions; }
    // The keys of a command, wherever they are held.
    QList<QKeySequence> keys(int nId) const;
    // The hidden companions; the window adds them so that their keys work.
    const std::vector<QAction*>& keyOnlyActions() const { return m_keyOnly; }

private:
    std::map<int, QAction*> m_actions;
    std::map<int, QAction*> m_companions;
    std::vector<QAction*> m_keyOnly;
};
