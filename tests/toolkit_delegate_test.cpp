// Delegates and event sources: the path every button press takes to its handler.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/UIlib.h"

namespace {

using namespace DuiLib;

// A panel-like handler object that records which of its handlers ran, in order.
class Recorder {
public:
    explicit Recorder(std::vector<std::string>& log) : log_(log) {}
    bool First(void*) { return Log("first", true); }
    bool Second(void*) { return Log("second", true); }
    bool Stop(void*) { return Log("stop", false); }
    bool ReadType(void* param) {
        log_.push_back(std::string("type ") +
                       (static_cast<TNotifyUI*>(param)->sType == u"click" ? "click" : "other"));
        return true;
    }

private:
    bool Log(const char* what, bool result) {
        log_.push_back(what);
        return result;
    }
    std::vector<std::string>& log_;
};

TEST(EventSource, RunsDelegatesInOrderAndStopsAtTheFirstFalse) {
    std::vector<std::string> log;
    Recorder recorder(log);
    CEventSource source;
    source += MakeDelegate(&recorder, &Recorder::First);
    source += MakeDelegate(&recorder, &Recorder::Stop);
    source += MakeDelegate(&recorder, &Recorder::Second);

    EXPECT_FALSE(source(nullptr));
    EXPECT_EQ(log, (std::vector<std::string>{"first", "stop"}));

    log.clear();
    source -= MakeDelegate(&recorder, &Recorder::Stop);
    EXPECT_TRUE(source(nullptr));
    EXPECT_EQ(log, (std::vector<std::string>{"first", "second"}));
}

TEST(EventSource, HandlersReadTheNotificationTheyAreGiven) {
    std::vector<std::string> log;
    Recorder recorder(log);
    CButtonUI button;
    button.OnNotify += MakeDelegate(&recorder, &Recorder::ReadType);
    EXPECT_TRUE(button.Activate());
    button.SendNotify(u"GameNotify");
    EXPECT_EQ(log, (std::vector<std::string>{"type click", "type other"}));
}

TEST(Delegate, EqualityIsSameObjectAndSameFunction) {
    std::vector<std::string> log;
    Recorder a(log), b(log);
    const auto aFirst = MakeDelegate(&a, &Recorder::First);
    EXPECT_TRUE(aFirst.Equals(MakeDelegate(&a, &Recorder::First)));
    EXPECT_FALSE(aFirst.Equals(MakeDelegate(&a, &Recorder::Second)));
    EXPECT_FALSE(aFirst.Equals(MakeDelegate(&b, &Recorder::First)));
    EXPECT_EQ(aFirst.GetObject(), &a);

    // A copy calls the same function on the same object.
    CDelegateBase* copy = aFirst.Copy();
    EXPECT_TRUE(copy->Equals(aFirst));
    EXPECT_TRUE((*copy)(nullptr));
    delete copy;
    EXPECT_EQ(log, std::vector<std::string>{"first"});

    // Removing a delegate that was never added changes nothing.
    CEventSource source;
    source += aFirst;
    source -= MakeDelegate(&b, &Recorder::First);
    EXPECT_EQ(source.GetCount(), 1);
}

// A handler that unsubscribes itself while its source is firing.
class OneShot {
public:
    explicit OneShot(CEventSource& source) : source_(source) {
        source_ += MakeDelegate(this, &OneShot::Fire);
    }
    bool Fire(void*) {
        ++fired;
        source_ -= MakeDelegate(this, &OneShot::Fire);
        return true;
    }
    int fired = 0;

private:
    CEventSource& source_;
};

TEST(EventSource, AHandlerMayUnsubscribeWhileFiring) {
    CEventSource source;
    std::vector<std::string> log;
    Recorder recorder(log);
    OneShot once(source);
    source += MakeDelegate(&recorder, &Recorder::First);

    EXPECT_TRUE(source(nullptr));
    EXPECT_TRUE(source(nullptr));
    EXPECT_EQ(once.fired, 1);
    EXPECT_EQ(log, (std::vector<std::string>{"first", "first"}));
}

TEST(DuiString, CopiesAreIndependentValues) {
    CDuiString path = u"C:\\host\\";
    const CDuiString copy = path;
    path += u"skin\\";
    EXPECT_EQ(copy, u"C:\\host\\");
    EXPECT_EQ(path, copy + u"skin\\");
    EXPECT_EQ(std::u16string(static_cast<LPCTSTR>(path)), u"C:\\host\\skin\\");
    EXPECT_EQ(CDuiString(u"click\0junk", 8), u"click"); // never reads past a terminator
}

} // namespace
