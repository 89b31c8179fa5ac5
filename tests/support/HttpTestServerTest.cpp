#include "support/HttpTestServer.h"

#include "support/TestFolder.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kalmora::test {
namespace {

// One raw exchange, so that request targets reach the server exactly as written.
std::string Exchange(std::uint16_t port, const std::string& request) {
    int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(socket);
        return {};
    }
    ::send(socket, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(socket, buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, static_cast<std::size_t>(n));
    ::close(socket);
    return answer;
}

std::string Get(std::uint16_t port, const std::string& target, const std::string& method = "GET") {
    return Exchange(port, method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
}

std::string StatusLineOf(const std::string& answer) {
    return answer.substr(0, answer.find("\r\n"));
}
std::string BodyOf(const std::string& answer) {
    return answer.substr(answer.find("\r\n\r\n") + 4);
}

class HttpTestServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::mkdir((Folder / "site").c_str(), 0700);
        ::mkdir((Folder / "site/sub").c_str(), 0700);
        WriteFile(Folder / "site/sub/file.txt", "content");
        WriteFile(Folder / "outside.txt", "must not be served");
        Server.ServeDirectory(Folder / "site");
    }

    TTestFolder Folder;
    THttpTestServer Server;
};

TEST_F(HttpTestServerTest, ServesFilesWithTheirLength) {
    auto answer = Get(Server.Port(), "/sub/file.txt?x=1");
    EXPECT_EQ(StatusLineOf(answer), "HTTP/1.1 200 OK");
    EXPECT_NE(answer.find("\r\nContent-Length: 7\r\n"), std::string::npos);
    EXPECT_EQ(BodyOf(answer), "content");
    EXPECT_EQ(BodyOf(Get(Server.Port(), "/sub/file.txt", "HEAD")), "");
}

class HttpTestServerRefusedPathTest : public HttpTestServerTest,
                                      public ::testing::WithParamInterface<const char*> {};

TEST_P(HttpTestServerRefusedPathTest, AnswersNotFound) {
    auto answer = Get(Server.Port(), GetParam());
    EXPECT_EQ(StatusLineOf(answer), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(answer.find("must not be served"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Paths, HttpTestServerRefusedPathTest,
                         ::testing::Values("/missing", "/sub", "/sub/", "/../outside.txt",
                                           "/sub/../../outside.txt", "/%2e%2e/outside.txt",
                                           "/sub/%2E%2E/%2e%2e/outside.txt", "outside.txt",
                                           "/sub/./file.txt"));

TEST_F(HttpTestServerTest, ScriptWinsOverTheDirectoryAndEveryRequestIsLogged) {
    TScriptedResponse script;
    script.statusLine = "HTTP/1.1 503 Busy";
    script.headers = {"Retry-After: 1"};
    script.body = "later";
    Server.Script("/sub/file.txt", script);
    auto answer = Exchange(Server.Port(), "GET /sub/file.txt HTTP/1.1\r\nHost: h\r\nX-Test: 1\r\n\r\n");
    EXPECT_EQ(StatusLineOf(answer), "HTTP/1.1 503 Busy");
    EXPECT_NE(answer.find("\r\nRetry-After: 1\r\n"), std::string::npos);
    EXPECT_EQ(BodyOf(answer), "later");
    Get(Server.Port(), "/nothing", "DELETE");

    auto requests = Server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/sub/file.txt");
    EXPECT_EQ(requests[0].version, "HTTP/1.1");
    EXPECT_EQ(requests[0].headerLines, (std::vector<std::string>{"Host: h", "X-Test: 1"}));
    EXPECT_EQ(requests[0].status, 503);
    EXPECT_EQ(requests[1].method, "DELETE");
    EXPECT_EQ(requests[1].status, 405);
    EXPECT_EQ(Server.ConnectionCount(), 2u);
}

TEST_F(HttpTestServerTest, ChunkedBodyIsFramedAsChunks) {
    TScriptedResponse script;
    script.body = "abcdefghij";
    script.framing = TBodyFraming::Chunked;
    script.chunkSize = 4;
    Server.Script("/c", script);
    EXPECT_EQ(BodyOf(Get(Server.Port(), "/c")), "4\r\nabcd\r\n4\r\nefgh\r\n2\r\nij\r\n0\r\n\r\n");
}

TEST_F(HttpTestServerTest, StopEndsAStalledResponse) {
    TScriptedResponse script;
    script.body = std::string(100, 'x');
    script.stallAfter = 10;
    Server.Script("/stall", script);
    std::string answer;
    std::thread client([&] { answer = Get(Server.Port(), "/stall"); });
    ASSERT_TRUE(Server.WaitForStalls(1, std::chrono::seconds(20)));
    Server.Stop();
    client.join();
    EXPECT_EQ(BodyOf(answer), std::string(10, 'x'));
}

// --- the kalmora-testserver program --------------------------------------------------------------------

TEST_F(HttpTestServerTest, ProgramServesADirectoryUntilTerminated) {
    int output[2];
    ASSERT_EQ(::pipe(output), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    std::string program = KALMORA_TESTSERVER_PROGRAM, root = Folder / "site", portFile = Folder / "port",
                log = Folder / "log";
    std::vector<std::string> args = {program, root, "--port-file", portFile, "--log", log};
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);

    // The first line on stdout says that it listens.
    std::string line;
    char c;
    while (::read(output[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(output[0]);
    std::string port = ReadFile(portFile);
    EXPECT_EQ(line, "http://127.0.0.1:" + port.substr(0, port.find('\n')) + "/");
    auto answer = Get(static_cast<std::uint16_t>(std::stoi(port)), "/sub/file.txt");
    EXPECT_EQ(BodyOf(answer), "content");

    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(log), "GET /sub/file.txt 200\n");
}

} // namespace
} // namespace kalmora::test
