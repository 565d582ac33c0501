// The connection string as FreeTDS, the SQL Server driver of this platform, reads it: a
// listener stands in for the server just far enough to receive the login packet.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "platform/database.h"
#include "platform/text.h"
#include "support/temp_folder.h"

namespace {

struct Login {
    std::u16string host, user, password, database;
};

bool readAll(int fd, unsigned char* buffer, std::size_t size)
{
    while (size > 0) {
        ssize_t n = ::recv(fd, buffer, size, 0);
        if (n <= 0)
            return false;
        buffer += n;
        size -= std::size_t(n);
    }
    return true;
}

// One TDS packet: its type and its payload.
bool readPacket(int fd, int& type, std::vector<unsigned char>& payload)
{
    unsigned char header[8];
    if (!readAll(fd, header, sizeof header))
        return false;
    type = header[0];
    std::size_t length = std::size_t(header[2] << 8 | header[3]);
    if (length < 8)
        return false;
    payload.resize(length - 8);
    return readAll(fd, payload.data(), payload.size());
}

class FakeSqlServer {
public:
    FakeSqlServer()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            ADD_FAILURE() << "no listener";
        port = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeSqlServer()
    {
        finish();
        ::close(listener_);
    }

    // What the driver sent, once it is done with the server.
    std::optional<Login> finish()
    {
        if (thread_.joinable()) {
            ::shutdown(listener_, SHUT_RDWR);
            thread_.join();
        }
        return login_;
    }

    int port = 0;

private:
    void serve()
    {
        int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0)
            return;
        int type = 0;
        std::vector<unsigned char> payload;
        // Pre-login, answered with a version and "encryption not supported".
        if (readPacket(client, type, payload) && type == 18) {
            const unsigned char reply[] = {4, 1, 0, 8 + 18, 0, 0, 1, 0, 0, 0, 11, 0, 6, 1, 0, 17, 0, 1, 0xFF,
                                           15, 0, 0, 0, 0, 0, 2};
            ::send(client, reply, sizeof reply, MSG_NOSIGNAL);
            if (readPacket(client, type, payload) && type == 16)
                login_ = parse(payload);
        }
        ::close(client);
    }

    // LOGIN7: offset and length (in characters) of each text from byte 36 on.
    static Login parse(const std::vector<unsigned char>& p)
    {
        auto text = [&](int index, bool scrambled) {
            std::size_t at = 36 + 4 * std::size_t(index);
            if (at + 4 > p.size())
                return std::u16string();
            std::size_t offset = p[at] | p[at + 1] << 8, length = p[at + 2] | p[at + 3] << 8;
            std::u16string out;
            for (std::size_t i = 0; i < length && offset + 2 * i + 1 < p.size(); ++i) {
                unsigned char lo = p[offset + 2 * i], hi = p[offset + 2 * i + 1];
                if (scrambled) {
                    lo = static_cast<unsigned char>(((lo ^ 0xA5) >> 4) | ((lo ^ 0xA5) << 4));
                    hi = static_cast<unsigned char>(((hi ^ 0xA5) >> 4) | ((hi ^ 0xA5) << 4));
                }
                out += char16_t(lo | hi << 8);
            }
            return out;
        };
        return {text(0, false), text(1, false), text(2, true), text(8, false)};
    }

    int listener_ = -1;
    std::optional<Login> login_;
    std::thread thread_;
};

} // namespace

TEST(FreeTdsLogin, ReceivesTheAdoLoginAsOdbcKeywords)
{
    testsupport::TempFolder odbc;
    odbc.write("odbcinst.ini", "[SQL SERVER]\nDriver = /usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so\n");
    ::setenv("ODBCSYSINI", odbc.path().c_str(), 1);
    ::setenv("ODBCINSTINI", "odbcinst.ini", 1);

    FakeSqlServer server;
    auto connection = platform::odbcDatabase().connect(
        u"driver={SQL SERVER};SERVER=127.0.0.1," + platform::text::number(server.port) +
        u";DATABASE=vpnsno;PERSIST SECUITY INFO=false;USER ID=corvane;password=46192037585");
    // The stand-in never completes the login.
    EXPECT_FALSE(connection);
    auto login = server.finish();
    ASSERT_TRUE(login) << "no login packet";
    EXPECT_EQ(login->user, u"corvane");
    EXPECT_EQ(login->password, u"46192037585");
    EXPECT_EQ(login->database, u"vpnsno");
}
