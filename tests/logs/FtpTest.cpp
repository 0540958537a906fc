#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "logs/Ftp.h"
#include "support/FtpServerProcess.h"

namespace {
QString makeLocal(QTemporaryDir &tmp, const QString &name, const QByteArray &data) {
  const QString path = tmp.filePath(name);
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(data);
  return path;
}

// A loopback port that was free a moment ago and has no listener now.
int closedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
  ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

QByteArray readFile(const QString &name) {
  QFile f(name);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

class FtpTest : public ::testing::Test {
 protected:
  void TearDown() override { TFTP::Desconecta(); }
  QTemporaryDir tmp;
};
}  // namespace

TEST_F(FtpTest, UploadIntoAMissingFolderCreatesItPartByPart) {
  FtpServerProcess server;
  ASSERT_TRUE(server.start());
  const QByteArray data(200 * 1024 + 3, 'z');
  const QString local = makeLocal(tmp, "300123_240307140509.zip", data);
  ASSERT_TRUE(TFTP::Conecta(server.host(), server.user(), server.password(), server.port())) << TFTP::UltimoErro().toStdString();
  EXPECT_TRUE(TFTP::UploadFile("/www/vtide_logs/", local)) << TFTP::UltimoErro().toStdString();
  EXPECT_EQ(readFile(server.root() + "/www/vtide_logs/300123_240307140509.zip"), data);
  // the folder exists now; a second archive goes straight in, over the same connection
  const QString second = makeLocal(tmp, "a.zip", "small");
  EXPECT_TRUE(TFTP::UploadFile("/www/vtide_logs", second));
  EXPECT_EQ(readFile(server.root() + "/www/vtide_logs/a.zip"), "small");
  EXPECT_TRUE(TFTP::Desconecta());
  EXPECT_FALSE(TFTP::Conectado());
  EXPECT_FALSE(TFTP::UploadFile("/www/vtide_logs/", second));  // no client: false, no exception
}

TEST_F(FtpTest, ServerSizeDifferentFromTheLocalFileFailsTheUpload) {
  FtpServerProcess server({"--size-offset", "1"});
  ASSERT_TRUE(server.start());
  const QString local = makeLocal(tmp, "a.zip", QByteArray(5000, 'a'));
  ASSERT_TRUE(TFTP::Conecta(server.host(), server.user(), server.password(), server.port()));
  EXPECT_FALSE(TFTP::UploadFile("/www/vtide_logs/", local));
  EXPECT_TRUE(QFile::exists(server.root() + "/www/vtide_logs/a.zip"));  // the transfer itself completed
}

TEST_F(FtpTest, ConnectFailuresAndAFolderThatCannotBeMadeGiveFalse) {
  EXPECT_FALSE(TFTP::Conecta("127.0.0.1", "ventralogs", "logs2024", closedPort()));
  EXPECT_FALSE(TFTP::Conectado());

  FtpServerProcess server;
  ASSERT_TRUE(server.start());
  EXPECT_FALSE(TFTP::Conecta(server.host(), server.user(), "wrong-password", server.port()));
  ASSERT_TRUE(TFTP::Conecta(server.host(), server.user(), server.password(), server.port()));
  // a file where a folder part should be: the part cannot be entered after "creating" it
  QFile blocker(server.root() + "/www");
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const QString local = makeLocal(tmp, "a.zip", "data");
  EXPECT_FALSE(TFTP::UploadFile("/www/vtide_logs/", local));
  EXPECT_EQ(TFTP::UltimoErro(), "Erro ao criar diretório www");
  EXPECT_FALSE(TFTP::UploadFile("/logs/", tmp.filePath("missing.zip")));
}

TEST_F(FtpTest, BuiltInAccountComesFromTheBuildConstants) {
  FtpServerProcess server;
  ASSERT_TRUE(server.start());
  qputenv("VENTRAIDE_FTP_HOST", "127.0.0.1");
  qputenv("VENTRAIDE_FTP_PORT", QByteArray::number(server.port()));
  qputenv("VENTRAIDE_FTP_USER", server.user().toUtf8());
  qputenv("VENTRAIDE_FTP_PASSWORD", server.password().toUtf8());
  EXPECT_TRUE(TBrixmontFTP::Conecta());
  const QString local = makeLocal(tmp, "b.zip", "bb");
  EXPECT_TRUE(TFTP::UploadFile("/www/vtide_logs/", local));
  for (const char *v : {"VENTRAIDE_FTP_HOST", "VENTRAIDE_FTP_PORT", "VENTRAIDE_FTP_USER", "VENTRAIDE_FTP_PASSWORD"})
    qunsetenv(v);
}
