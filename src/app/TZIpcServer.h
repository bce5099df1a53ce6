#pragma once

// The transport of the local service: a Unix domain socket named "Kestrun" in
// the runtime folder, readable and writable by the user only. It cuts what
// clients send into lines (at most TIpcService::kMaxLine bytes each; a client
// that sends a longer line gets ERROR and is disconnected) and writes back one
// answer line per request. Runs on the main thread's event loop.

#include <QObject>
#include <filesystem>
#include <map>

#include "app/TIpcService.h"

class QLocalServer;
class QLocalSocket;

class TZIpcServer : public QObject {
public:
    /// Clients served at once; more are closed on arrival.
    static constexpr int kMaxClients = 32;
    /// Answer bytes a client may leave unread before it is dropped.
    static constexpr qint64 kMaxUnreadAnswers = 64 * 1024;

    explicit TZIpcServer(TIpcService& service, QObject* parent = nullptr);
    ~TZIpcServer() override;

    /// Listens on `folder`/"Kestrun". A socket file left by a copy that ended without removing it is
    /// replaced (only the first copy starts the server). False when listening fails.
    bool Start(const std::filesystem::path& folder);
    void Stop();
    bool IsListening() const;
    std::filesystem::path SocketPath() const { return m_path; }

private:
    void Accept();
    void Read(QLocalSocket* socket);

    TIpcService& m_service;
    QLocalServer* m_server = nullptr;
    std::filesystem::path m_path;
    std::map<QLocalSocket*, TIpcService::Conversation> m_conversations;
};
