#pragma once

#include <QList>
#include <QMap>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>

#include <optional>

// What a chat's voice or video call, or a shared screen, wants of the owner's
// machine. Both ways of sharing a screen (with its sound or without) are one.
enum class CallKind { Microphone, Camera, MicrophoneAndCamera, Screen };

// None for what is no part of a call.
std::optional<CallKind> callKindOf(QWebEnginePage::Feature feature);

// One question to the owner: a site wants one kind.
struct CallQuestion {
    QUrl origin;
    CallKind kind;

    // The site's host, as the owner knows it from the address.
    QString site() const;
    // "chat.example.com wants to use your microphone"
    QString text() const;
    bool operator==(const CallQuestion &other) const;
};

// A page's request, as the engine is to hear the answer.
struct CallRequest {
    QObject *page;
    QUrl origin;
    QWebEnginePage::Feature feature;
};

// The questions the owner has still to answer, one per site and kind
// however often its pages ask, and the answers the owner chose to remember,
// per site and kind. Kept as lines "microphone https://chat.example.com".
class CallPermissions {
public:
    CallPermissions(const QStringList &allowed, const QStringList &blocked);

    enum class Reply {
        Allow,
        Block,
        Ask, // a new question
        Waits, // the same question stands already
    };
    Reply request(const CallRequest &request);

    // The question before the owner: the oldest still unanswered.
    std::optional<CallQuestion> question() const;
    // The owner's answer to it: every request that waited for it.
    QList<CallRequest> answer(bool allow, bool remember);

    // A request taken back; every request of a page that went, given back.
    void drop(const CallRequest &request);
    QList<CallRequest> drop(const QObject *page);

    bool remembers(const QUrl &site) const;
    void forget(const QUrl &site);
    QStringList remembered(bool allowed) const;

private:
    struct Pending {
        CallQuestion question;
        QList<CallRequest> waiting;
    };
    void dropUnwaited();

    QList<Pending> m_pending; // oldest first
    QMap<QString, bool> m_remembered; // by line: allowed
};
