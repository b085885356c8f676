#pragma once

#include "vare/TimeCode.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

class CRole;

// Base of every item placed in time on the band.
class CElement {
public:
    enum EKind { KIND_SIGN = 0, KIND_SHOT = 1, KIND_LOOP = 2, KIND_LINE = 3 };

    explicit CElement(int nKind) : m_nKind(nKind) {}
    virtual ~CElement() = default;
    virtual CTimeCode getTimeCode() const = 0;

    int getKind() const { return m_nKind; }
    int getTrack() const { return m_nTrack; }
    void setTrack(int nTrack) { m_nTrack = nTrack; }

protected:
    int m_nKind;
    int m_nTrack = -1;
};

// A time marker; on its own (kind 1) it is a shot change.
class CBalise : public CElement {
public:
    CBalise() : CElement(KIND_SIGN) {}
    explicit CBalise(const CTimeCode& tc, int nKind = KIND_SHOT) : CElement(nKind), m_tc(tc) {}
    CTimeCode getTimeCode() const override { return m_tc; }
    virtual void setTimeCode(const CTimeCode& tc) { m_tc = tc; }
    int getFrames() const { return m_tc.getFrames(); }

    bool operator<(const CBalise& o) const { return m_tc < o.m_tc; }
    bool operator==(const CBalise& o) const { return m_tc == o.m_tc; }

protected:
    CTimeCode m_tc;
};

class CLoop : public CBalise {
public:
    CLoop() : CBalise(TC_ZERO, KIND_LOOP) {}
    CLoop(const CTimeCode& tc, int nNumber) : CBalise(tc, KIND_LOOP), m_nNumber(nNumber) {}
    int getNumber() const { return m_nNumber; }
    void setNumber(int n) { m_nNumber = n; }

private:
    int m_nNumber = 0;
};

// A sign of a phrase: a type and a frame, and its place in the phrase's position sequence (its link).
class CLipSync : public CBalise {
public:
    enum EType {
        IN_OPEN = 0,
        IN_CLOSE = 1,
        OUT_OPEN = 2,
        OUT_CLOSE = 3,
        MPB = 4,
        FVR = 5,
        WEUQUE = 6,
        VOWEL_A = 7,
        VOWEL_I = 8,
        VOWEL_O = 9,
        NEUTRAL = 10,
        TYPE_COUNT = 11
    };

    CLipSync() : CBalise(TC_INVALID, KIND_SIGN) {}
    CLipSync(int nType, const CTimeCode& tc, int nLink)
        : CBalise(tc, KIND_SIGN), m_nLink(nLink), m_nType(nType) {}

    int getLink() const { return m_nLink; }
    void setLink(int nLink) { m_nLink = nLink; }
    bool isLinked() const { return m_nLink >= 0; }
    int getType() const { return m_nType; }
    void setType(int nType) { m_nType = nType; }
    bool isOpening() const { return m_nType == IN_OPEN || m_nType == IN_CLOSE; }
    bool isClosing() const { return m_nType == OUT_OPEN || m_nType == OUT_CLOSE; }

    // "in_open" ... "neutral"; -1 for an unknown name.
    static const char* typeName(int nType);
    static int typeFromName(const QString& strName);

    bool operator==(const CLipSync& o) const {
        return m_tc == o.m_tc && m_nLink == o.m_nLink && m_nType == o.m_nType;
    }

private:
    int m_nLink = -1;
    int m_nType = NEUTRAL;
};

// The signs of a phrase, ordered by frame, one per frame. Phrases hold a handful of signs, so a sorted
// vector serves better than a tree.
class CLipSyncList {
public:
    using iterator = std::vector<CLipSync>::iterator;
    using const_iterator = std::vector<CLipSync>::const_iterator;

    bool empty() const { return m_signs.empty(); }
    int size() const { return int(m_signs.size()); }
    const_iterator begin() const { return m_signs.begin(); }
    const_iterator end() const { return m_signs.end(); }
    iterator begin() { return m_signs.begin(); }
    iterator end() { return m_signs.end(); }
    const CLipSync& front() const { return m_signs.front(); }
    const CLipSync& back() const { return m_signs.back(); }
    const CLipSync& operator[](int i) const { return m_signs[size_t(i)]; }
    CLipSync& operator[](int i) { return m_signs[size_t(i)]; }

    // Index of the first sign at or after the frame.
    int lowerBound(int nFrames) const;
    // Index of the sign at the frame, -1 when none.
    int indexAt(int nFrames) const;
    // Inserts in frame order; false when the frame is taken. pIndex receives the new sign's index.
    bool insert(const CLipSync& sign, int* pIndex = nullptr);
    void erase(int i) { m_signs.erase(m_signs.begin() + i); }
    void clear() { m_signs.clear(); }
    void reserve(int n) { m_signs.reserve(size_t(n)); }
    void push_back(const CLipSync& sign) { m_signs.push_back(sign); }
    // Replaces the signs by a list already in frame order, one per frame.
    void assign(std::vector<CLipSync>&& signs) { m_signs = std::move(signs); }

    bool operator==(const CLipSyncList& o) const { return m_signs == o.m_signs; }

private:
    std::vector<CLipSync> m_signs;
};

// A character of the script.
class CRole {
public:
    enum EGender { GENDER_NEUTRAL = 0, GENDER_MALE = 1, GENDER_FEMALE = 2 };

    CRole() = default;
    explicit CRole(const QString& strName) : m_strName(strName) {}
    virtual ~CRole() = default;

    // The key by which phrases refer to a role in files: the name lower-cased, accents folded, and
    // everything but a-z 0-9 replaced by '_'. With n > 0 the name is first suffixed "_n".
    static QString makeId(const QString& strName, int n = 0);

    // Roles in a script are ordered by name; a role in the script is changed through CVarE only.
    bool operator<(const CRole& o) const { return m_strName < o.m_strName; }
    // Every field, the selection tick excepted (it belongs to the import list, not to the role).
    bool operator==(const CRole& o) const;
    bool operator!=(const CRole& o) const { return !(*this == o); }

    const QString& getName() const { return m_strName; }
    void setName(const QString& str) { m_strName = str; }
    const QString& getId() const { return m_strId; }
    void setId(const QString& str) { m_strId = str; }
    const QString& getDescription() const { return m_strDescription; }
    void setDescription(const QString& str) { m_strDescription = str; }
    int getGender() const { return m_nGender; }
    void setGender(int n) { m_nGender = n; }
    const QString& getImage() const { return m_strImage; } // JPEG photo as Base64 text, empty when none
    void setImage(const QString& str) { m_strImage = str; }
    bool isSelected() const { return m_bSelected; }
    void setSelected(bool b) { m_bSelected = b; }

    std::uint8_t getRed() const { return m_red; }
    std::uint8_t getGreen() const { return m_green; }
    std::uint8_t getBlue() const { return m_blue; }
    std::uint32_t getColor() const {
        return (std::uint32_t(m_red) << 16) | (std::uint32_t(m_green) << 8) | m_blue;
    }
    void setColor(std::uint32_t rgb) {
        m_red = std::uint8_t(rgb >> 16);
        m_green = std::uint8_t(rgb >> 8);
        m_blue = std::uint8_t(rgb);
    }

private:
    QString m_strName;
    QString m_strId;
    std::uint8_t m_red = 0, m_green = 0, m_blue = 0;
    QString m_strDescription;
    int m_nGender = GENDER_NEUTRAL;
    QString m_strImage;
    bool m_bSelected = true;
};

// A phrase's place in its script: the frame of its first sign, then its track. Two phrases of a script
// never share a key.
struct SLineKey {
    int nFrame;
    int nTrack;
    bool operator==(const SLineKey&) const = default;
    bool operator<(const SLineKey& o) const {
        return nFrame != o.nFrame ? nFrame < o.nFrame : nTrack < o.nTrack;
    }
};

// A phrase: its text and its signs share one sequence of positions. Each character and each linked sign
// occupies one position, and a linked sign's link is its position; linked signs in time order always
// have strictly increasing links. Unlinked signs (link -1) take no position.
class CLine : public CElement {
public:
    CLine() : CElement(KIND_LINE) {}

    // Time of the first and of the last sign; the phrase must have signs.
    CTimeCode getTimeCode() const override;
    CTimeCode getEndTimeCode() const;
    int getStartFrame() const { return m_nStartFrame; } // -1 without signs
    int getEndFrame() const;                            // -1 without signs

    // Script order (CLineOrder): (first frame, track).
    SLineKey getKey() const { return {getStartFrame(), m_nTrack}; }

    const QString& getText() const { return m_strText; }
    // The signs in time order; changed only through the operations below, which keep the links right.
    const CLipSyncList& getSigns() const { return m_liste; }
    const CLipSync& getSign(int i) const { return m_liste[i]; }
    int getSignCount() const { return m_liste.size(); }

    // --- the position sequence
    int getLinkedCount() const;
    int getLength() const { return int(m_strText.size()) + getLinkedCount(); }
    int toTextIndex(int nPos) const;
    // Characters from position a up to b (excluded); b = -1 is the sequence end. The view needs no
    // copy (the band asks for it every frame) and lasts while the text is unchanged.
    QString getTextBetween(int a, int b) const { return viewBetween(a, b).toString(); }
    QStringView viewBetween(int a, int b) const;
    // Characters between the sign at tc1 and the sign at tc2 (empty when either is missing).
    QString getTextBetween(const CTimeCode& tc1, const CTimeCode& tc2) const;
    // p = -1 inserts at the end.
    void insertText(const QString& str, int nPos);
    void deleteText(int nPos, int nCount);
    void normalize();

    // --- signs
    // False when the frame holds a sign already. A linked sign that cannot keep the time order of the
    // links at the requested position (-1: the sequence end) is inserted unlinked.
    bool insertSign(const CTimeCode& tc, int nType, bool bLinked, int nPos = -1);
    // insertSign() for a sign later than every sign of the phrase, linked (nLink >= 0) beyond every link
    // and within the sequence, or unlinked (-1): nothing to check or shift. Readers use it.
    void appendSign(const CTimeCode& tc, int nType, int nLink);
    bool eraseSign(const CTimeCode& tc);
    bool unlinkSign(const CTimeCode& tc);
    void unlinkAllSigns();
    bool relinkSign(const CTimeCode& tc, int nPos);
    bool setSignType(const CTimeCode& tc, int nType);
    // Moves a sign to another frame, keeping its type and link; false when that frame is taken or the
    // sign would reach or pass a neighbouring sign (the links follow the time order).
    bool moveSign(const CTimeCode& tc, const CTimeCode& tcNew);

    int getNextWordEnd(int nPos) const;
    int getPreviousWordStart(int nPos) const;

    // Sign queries: indexes into m_liste, -1 when none.
    int getSignAt(const CTimeCode& tc) const;
    int getNextSign(const CTimeCode& tc) const;     // first sign later than tc
    int getPreviousSign(const CTimeCode& tc) const; // last sign earlier than tc
    int getSignAtPosition(int nPos) const;          // the sign linked at nPos
    int getFirstSignFrom(int nPos) const;           // first linked sign with link >= nPos
    int getLastLinkedSignBefore(int nPos) const;    // last linked sign with link < nPos
    int getFirstClosingSign() const;
    int getLinkAt(const CTimeCode& tc) const;
    bool hasClosingSign() const { return getFirstClosingSign() >= 0; }
    bool isClosingSignLinked() const;

    void shift(int nFrames);

    bool isVoiceOff() const { return m_bVoiceOff; }
    void setVoiceOff(bool b) { m_bVoiceOff = b; }
    bool isReaction() const { return m_bReaction; }
    void setReaction(bool b) { m_bReaction = b; }

    // --- role
    bool hasRole() const { return m_bHasRole; }
    const CRole& getRole() const; // only when hasRole()
    const CRole* getRolePtr() const { return m_bHasRole ? m_pRole : nullptr; }
    void setRole(const CRole* pRole) {
        m_pRole = pRole;
        m_bHasRole = pRole != nullptr;
    }

    // Times, track, role (by name), text and signs; the voice-off and reaction flags take no part.
    bool operator==(const CLine& o) const;
    bool operator!=(const CLine& o) const { return !(*this == o); }
    // Equal and with the same flags: nothing a file keeps differs.
    bool isIdentical(const CLine& o) const {
        return *this == o && m_bVoiceOff == o.m_bVoiceOff && m_bReaction == o.m_bReaction;
    }

private:
    void signsMoved();

    QString m_strText;
    CLipSyncList m_liste;
    // The first sign's frame, the phrase's place in its script: kept beside the signs so that the
    // script's searches need not reach into them.
    int m_nStartFrame = -1;
    bool m_bHasRole = false;
    bool m_bVoiceOff = false;
    bool m_bReaction = false;

    // The role lives in its script's role set, whose nodes never move; the script re-points or clears
    // this when roles are renamed, merged or deleted.
    const CRole* m_pRole = nullptr;

    friend class CLineAppender;
};

// Fills an empty phrase in reading order, exactly as insertText(str, -1) and insertSign(tc, type,
// linked, -1) would one after the other, but in time proportional to n log n: a phrase read from a file
// may hold a hundred thousand signs. Nothing reaches the phrase before finish().
class CLineAppender {
public:
    explicit CLineAppender(CLine& line) : m_line(line) {}
    void appendText(const QString& str) { m_strText += str; }
    // False when the sign is refused (invalid time, or its frame is taken). A linked sign that is not
    // later than every linked sign already read comes unlinked: links must grow with time.
    bool appendSign(const CTimeCode& tc, int nType, bool bLinked);
    const QString& getText() const { return m_strText; }
    void finish();

private:
    CLine& m_line;
    QString m_strText;
    std::vector<CLipSync> m_signs; // in reading order until finish()
    std::vector<int> m_frames;     // frames taken, kept sorted
    int m_nLinked = 0;
    int m_nLastLinkedFrame = -1;
};
