#include "app/TZIpcServer.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <memory>

#include "app/TIpcService.h"

TZIpcServer::TZIpcServer(TIpcService& service, QObject* parent) : QObject(parent), m_service(service) {}

TZIpcServer::~TZIpcServer() { Stop(); }

bool TZIpcServer::Start(const std::filesystem::path& folder) {
    Stop();
    if (folder.empty()) {
        return false;
    }
    m_path = folder / "Kestrun";
    const QString name = QString::fromStdString(m_path.string());
    QLocalServer::removeServer(name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->setMaxPendingConnections(kMaxClients);
    if (!m_server->listen(name)) {
        delete m_server;
        m_server = nullptr;
        return false;
    }
    QObject::connect(m_server, &QLocalServer::newConnection, this, [this] { Accept(); });
    return true;
}

void TZIpcServer::Stop() {
    // The sockets die with the server; their signals must not reach us while they do.
    for (const auto& entry : m_conversations) {
        QObject::disconnect(entry.first, nullptr, this, nullptr);
    }
    m_conversations.clear();
    if (m_server != nullptr) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
}

bool TZIpcServer::IsListening() const { return m_server != nullptr && m_server->isListening(); }

void TZIpcServer::Accept() {
    while (m_server != nullptr && m_server->hasPendingConnections()) {
        QLocalSocket* socket = m_server->nextPendingConnection();
        if (m_conversations.size() >= static_cast<size_t>(kMaxClients)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_conversations.emplace(socket, TIpcService::Conversation{});
        socket->setReadBufferSize(static_cast<qint64>(2 * TIpcService::kMaxLine));
        QObject::connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        QObject::connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            m_conversations.erase(socket);
            socket->deleteLater();
        });
    }
}

void TZIpcServer::Read(QLocalSocket* socket) {
    const auto found = m_conversations.find(socket);
    if (found == m_conversations.end()) {
        return;
    }
    TIpcService::Conversation& conversation = found->second;
    while (socket->canReadLine()) {
        QByteArray line = socket->readLine(TIpcService::kMaxLine + 2);
        if (!line.endsWith('\n')) {
            // Longer than any request may be: the client does not speak our protocol.
            socket->write("ERROR\n");
            socket->disconnectFromServer();
            return;
        }
        line.chop(1);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        const auto answer =
            m_service.HandleLine(conversation, std::string_view(line.constData(), line.size()));
        const std::string_view text = TIpcService::AnswerText(answer);
        socket->write(text.data(), static_cast<qint64>(text.size()));
        socket->write("\n");
        if (socket->bytesToWrite() > kMaxUnreadAnswers) {
            // A client that sends without reading its answers would make us buffer them for ever.
            socket->abort();
            return;
        }
    }
    // Out now: a client that half-closes after its requests would otherwise lose the answers
    // when its end of file closes the socket.
    socket->flush();
    if (socket->bytesAvailable() > static_cast<qint64>(TIpcService::kMaxLine + 1)) {
        socket->write("ERROR\n");
        socket->disconnectFromServer();
    }
}
