#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <vector>

class QAction;
class QKeyEvent;
class QMenu;
class QMenuBar;
class QWidget;

// Command identifiers. Where the program's traces or files name a number it is kept; the others are
// our own.
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
    FILE_IMPORT_DAPT = 51008,
    FILE_EXPORT_DAPT = 51009,
    // Editing
    EDIT_UNDO = 57643,
    EDIT_REDO = 57644,
    EDIT_CUT = 57635,
    EDIT_COPY = 57634,
    EDIT_PASTE = 57637,
    EDIT_SELECT_ALL = 57642,
    EDIT_FIND = 57636,
    EDIT_FIND_NEXT = 40089,
    EDIT_NEXT_TRACK = 33035,
    EDIT_PREVIOUS_TRACK = 33034,
    EDIT_TRACK_1 = 32841, // to 32844
    SIGN_OPEN_START = 32869,
    SIGN_OPEN_END = 32870,
    SIGN_CLOSED_START = 32872,
    SIGN_CLOSED_END = 32873,
    SIGN_LABIAL = 32862,
    SIGN_HALF_LABIAL = 32863,
    SIGN_NEUTRAL = 32858,
    SIGN_VOWEL_A = 32859,
    SIGN_VOWEL_I = 32861,
    SIGN_VOWEL_O = 32860,
    SIGN_ROUND = 32864,
    SIGN_LOOP = 32875,
    SIGN_SHOT = 32877,
    SIGN_TYPE_OPENING_FIRST = 32921, // types 0 to 3
    SIGN_TYPE_LIP_FIRST = 32910,     // types 4 to 10
    EDIT_SIGN_DELETE = 32993,
    CONTEXT_SIGN_DELETE = 32850,
    CONTEXT_SIGN_UNLINK = 32866,
    CONTEXT_MARKER_DELETE = 32995,
    EDIT_UNLINK_ALL = 33043,
    EDIT_SIGN_LEFT = 33048,
    EDIT_SIGN_RIGHT = 33049,
    EDIT_LINK_LEFT = 33052,
    EDIT_LINK_RIGHT = 33054,
    EDIT_MODE = 40015,
    EDIT_LINE_CANCEL = 40017,
    EDIT_LINE_DELETE = 40042,
    EDIT_MOVE_TRACK_1 = 33014, // to 33017
    EDIT_VOICE_OVER = 32937,
    EDIT_ROLES = 40018,
    EDIT_SHOT_DETECTION = 33040,
    EDIT_VERIFY = 33025,
    EDIT_SHIFT = 40108,
    EDIT_PREFERENCES = 51101,
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
    CONTROL_SHUTTLE_FIRST = 40046, // one per shuttle speed
    CONTROL_NEXT_LINE = 40013,
    CONTROL_PREVIOUS_LINE = 40014,
    CONTROL_NEXT_ROLE_LINE = 40163,
    CONTROL_PREVIOUS_ROLE_LINE = 40162,
    CONTROL_NEXT_SIGN = 40044,
    CONTROL_PREVIOUS_SIGN = 40045,
    CONTROL_NEXT_LOOP = 32998,
    CONTROL_PREVIOUS_LOOP = 32999,
    CONTROL_TIMESTAMP = 51200,
    CONTROL_CORVEL = 51201,
    POSITION_MARK = 40150,
    POSITION_DELETE = 40153,
    // Display
    VIEW_DETECTION = 51300,
    VIEW_GRID = 51301,
    VIEW_FULL_SCREEN = 51302,
    VIEW_ZOOM_IN = 51303,
    VIEW_ZOOM_OUT = 51304,
    VIEW_WORKING_COPY = 51305,
    VIEW_DEINTERLACE = 40065,
    VIEW_HIGH_QUALITY = 40066,
    // Audio
    AUDIO_VI = 40067,
    AUDIO_VOLUME_UP = 40061,
    AUDIO_VOLUME_DOWN = 40062,
    AUDIO_MUTE = 40060,
    AUDIO_RECORD = 33056,
    // Help
    HELP_DOCUMENTATION = 51400,
    HELP_SHORTCUTS = 51401,
    HELP_WEB = 51402,
    HELP_UPDATES = 51403,
    HELP_RELEASE_NOTES = 51404,
    APP_ABOUT = 57664,
};
} // namespace Cmd

// One shuttle entry: its speed (1/24 of normal speed) and its caption, slowest reverse first.
struct SShuttleSpeed {
    int nRate;
    const char* pszCaption;
};
const std::vector<SShuttleSpeed>& shuttleSpeeds();

// What every command is: its identifier, its French caption as the menus show it (the text after a
// tab names the keys), the keys that run it and whether it carries a check mark. One table holds them
// all; the menus, the context menus, the views' buttons and the shortcuts page are made from it.
struct SCommandDef {
    int nId = 0;
    QString strCaption;
    QList<QKeySequence> keys;
    bool bCheckable = false;
};
const std::vector<SCommandDef>& commandDefs();

// The menu bar as a list of entries: a menu title, a command, a separator, a submenu and its end, and
// the two places filled at run time (recent files, bookmarks).
struct SMenuEntry {
    enum EKind { MENU, COMMAND, SEPARATOR, SUBMENU, END, RECENT_FILES };
    EKind eKind;
    int nId = 0;
    const char* pszTitle = nullptr;
};
const std::vector<SMenuEntry>& menuBarLayout();

// What the owner of a command gives: what it does, when it is enabled and checked (an empty test
// means always enabled, never checked) and, for a caption that changes, what it reads now.
struct SCommandHandler {
    std::function<void()> run{};
    std::function<bool()> enabled{};
    std::function<bool()> checked{};
    std::function<QString()> caption{};
};

// The running commands: one QAction per entry of the table, with its keys, bound to the handler its
// owner gives. Disabled until bound. A bound command's enabled test is made when it is run (by its key,
// its menu entry or trigger()) and when a menu opens; between those its action stays enabled so that
// its keys reach it whatever happened since. Check marks follow refresh() (after every command, menu
// opening, document and transport change).
class CCommandTable : public QObject {
    Q_OBJECT
public:
    explicit CCommandTable(QObject* pParent = nullptr);

    QAction* action(int nId) const;
    void bind(int nId, SCommandHandler handler);
    void bind(int nId, std::function<void()> run) { bind(nId, SCommandHandler{std::move(run), {}, {}, {}}); }
    bool isBound(int nId) const { return m_handlers.count(nId) != 0; }
    // Runs a command as its menu entry or key would; false (and nothing done) when disabled.
    bool trigger(int nId);
    bool isEnabled(int nId) const;
    // Check marks from the handlers' tests (bound actions stay enabled for their keys).
    void refresh();
    // Enabled states and check marks as a menu shows them.
    void refreshForMenu();
    // The keys of a command (all of them, also those the caption does not show).
    QList<QKeySequence> keys(int nId) const;
    const SCommandDef* definition(int nId) const;

    // Fills a menu bar from the layout; the window gets every action so that its keys work.
    void fillMenuBar(QMenuBar* pBar, QWidget* pWindow, std::vector<QMenu*>* pMenus = nullptr,
                     QAction** ppRecentPlaceholder = nullptr);
    // Adds commands (0 = separator) to a context menu.
    void fillMenu(QMenu* pMenu, std::initializer_list<int> ids) const;

    // Numeric keypad keys: the platform's shortcut matching misses them, so the window hands them over
    // here. NumLock off gives the navigation keys of the pad; they count as their digits. True when
    // the key ran (or would have run, were it enabled) a command.
    bool handleKeypadKey(const QKeyEvent& event);
    // Whether the key is a keypad key of a command (its shortcut must not be taken for the arrow or
    // the key without the pad).
    bool isKeypadCommandKey(const QKeyEvent& event) const;

signals:
    void commandRun(int nId);

private:
    void updateState(int nId, QAction* pAction, bool bTestEnabled) const;
    void refreshOne(int nId);

    std::map<int, QAction*> m_actions;
    std::map<int, SCommandHandler> m_handlers;
    std::map<int, const SCommandDef*> m_defs;
    // Keypad keys (digit form, modifiers without the keypad flag) to commands.
    std::map<int, int> m_keypad;
};
