// What the desktop hears of a run, caught by a stand-in notification service
// and launcher listener on a private session bus (private_session_bus.sh).
#include "ui/run_notice.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>
#include <QWidget>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/gui_fixture.h"
#include "ui/engine_qt.h"

namespace lirvo::ui {
namespace {

struct Notice {
  QString app, summary, body;
  QVariantMap hints;
};
struct LauncherUpdate {
  QString app;
  double progress;
  bool visible;
};

// Plays the desktop: org.freedesktop.Notifications and a dock that listens
// for launcher updates.
class StandIn : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  explicit StandIn(QDBusConnection bus) : m_bus(bus) {
    m_bus.registerService(u"org.freedesktop.Notifications"_qs);
    m_bus.registerObject(u"/org/freedesktop/Notifications"_qs, this,
                         QDBusConnection::ExportAllSlots);
    m_bus.connect(QString(), QString(), u"com.canonical.Unity.LauncherEntry"_qs, u"Update"_qs, this,
                  SLOT(OnUpdate(QDBusMessage)));
  }

  std::vector<Notice> notices;
  std::vector<LauncherUpdate> updates;

 public slots:
  uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
              const QStringList&, const QVariantMap& hints, int) {
    notices.push_back({app, summary, body, hints});
    return static_cast<uint>(notices.size());
  }
  void OnUpdate(const QDBusMessage& message) {
    const auto properties = qdbus_cast<QVariantMap>(message.arguments().value(1));
    updates.push_back({message.arguments().value(0).toString(),
                       properties.value(u"progress"_qs).toDouble(),
                       properties.value(u"progress-visible"_qs).toBool()});
  }

 private:
  QDBusConnection m_bus;
};

class RunNoticeTest : public test::GuiTest {
 protected:
  void SetUp() override {
    const char* bus = std::getenv("LIRVO_PRIVATE_BUS");
    if (bus == nullptr || std::string(bus) != "1")
      GTEST_SKIP() << "needs the private session bus of private_session_bus.sh";
    GuiTest::SetUp();
    SetRunClock([this] { return m_now; });
    m_standIn = std::make_unique<StandIn>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"stand-in"_qs));
  }
  void TearDown() override {
    SetRunClock(nullptr);
    m_standIn.reset();
    QDBusConnection::disconnectFromBus(u"stand-in"_qs);
    GuiTest::TearDown();
  }

  // A run of `milliseconds` that ends with these counts, then the first report
  // of the next run: once that arrives, everything before it has.
  void Run(std::int64_t milliseconds) {
    ReportRunProgress(0.0);
    m_now += milliseconds / 2;
    ReportRunProgress(0.504);
    m_now += milliseconds - milliseconds / 2;
    NotifyRunEnded(3, 1);
    ReportRunProgress(0.25);
    ASSERT_TRUE(RunUntil([this] { return m_standIn->updates.size() >= 4; }));
  }

  std::int64_t m_now = 1000;
  std::unique_ptr<StandIn> m_standIn;
};

TEST_F(RunNoticeTest, LongRunOutOfSightEndsWithANotice) {
  Run(kNoticeAfterMilliseconds);
  ASSERT_EQ(m_standIn->notices.size(), 1u);
  const Notice& notice = m_standIn->notices[0];
  EXPECT_EQ(notice.app, u"Lirvo"_qs);
  EXPECT_EQ(notice.summary, u"采集完成"_qs);
  EXPECT_EQ(notice.body, u"本次成功采集3篇小说，下载失败1篇"_qs);
  EXPECT_EQ(notice.hints.value(u"desktop-entry"_qs).toString(), u"lirvo"_qs);

  // Shown during the run, hidden at its end, shown again by the next run.
  const struct {
    double progress;
    bool visible;
  } expected[] = {{0.0, true}, {0.5, true}, {0.0, false}, {0.25, true}};
  ASSERT_EQ(m_standIn->updates.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(m_standIn->updates[i].app, u"application://lirvo.desktop"_qs);
    EXPECT_DOUBLE_EQ(m_standIn->updates[i].progress, expected[i].progress) << i;
    EXPECT_EQ(m_standIn->updates[i].visible, expected[i].visible) << i;
  }
}

TEST_F(RunNoticeTest, ShortRunOrOneWatchedEndsQuietly) {
  Run(kNoticeAfterMilliseconds - 1);
  EXPECT_TRUE(m_standIn->notices.empty());
  NotifyRunEnded(0, 0);

  ASSERT_TRUE(OpenWindow(Window::Progress));
  QWidget* progress = Engine::Get().Find(Window::Progress)->widget;
  progress->activateWindow();
  ASSERT_TRUE(RunUntil([progress] { return progress->isActiveWindow(); }));
  m_standIn->updates.clear();
  Run(kNoticeAfterMilliseconds * 10);
  EXPECT_TRUE(m_standIn->notices.empty());
  EXPECT_FALSE(m_standIn->updates[2].visible);
}

}  // namespace
}  // namespace lirvo::ui

#include "run_notice_test.moc"
