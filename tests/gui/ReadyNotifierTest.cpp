#include "update/Rdynotfy.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/windows/Forms.h"
#include "toolkit/windows/StandardControls.h"

namespace {

// Lets the event loop run over everything queued, as a few passes of a real loop would.
void RunEventLoop()
{
    for (int i = 0; i < 5; ++i) {
        Application().ProcessMessages();
        ::Sleep(5);
    }
}

// A release of the right button on the form's top-left pixel, as the notifier posts it.
void ReleaseAtOrigin(TForm& form)
{
    ::PostMessageW(form.Handle(), WM_RBUTTONUP, 0, 0);
    RunEventLoop();
}

TCatcher* CatcherOf(TForm& form)
{
    for (TControl* control : form.Controls())
        if (auto* catcher = dynamic_cast<TCatcher*>(control))
            return catcher;
    return nullptr;
}

TEST(ReadyNotifier, FiresOnceFromTheFirstPassOfTheModalLoop)
{
    TForm form(nullptr);
    form.SetClientSize(200, 100);
    auto* notifier = new TReadyNotifier(&form);
    std::vector<TObject*> senders;
    bool visible = false, modal = false;
    notifier->OnReady = [&](TObject* sender) {
        senders.push_back(sender);
        visible = ::IsWindowVisible(form.Handle()) != FALSE;
        modal = form.IsModal();
        // Lets the loop run meanwhile, as a handler that repaints does: no second call.
        ReleaseAtOrigin(form);
        form.SetModalResult(mrOk);
    };

    EXPECT_EQ(form.ShowModal(), mrOk);  // would never return if the event did not fire
    EXPECT_TRUE(visible);
    EXPECT_TRUE(modal);
    ReleaseAtOrigin(form);
    EXPECT_EQ(senders, std::vector<TObject*>{notifier});
}

TEST(ReadyNotifier, WithoutHandlerItOnlyDisarms)
{
    TForm form(nullptr);
    auto* notifier = new TReadyNotifier(&form);
    TCatcher* catcher = CatcherOf(form);
    ASSERT_NE(catcher, nullptr);
    EXPECT_EQ(catcher->BoundsRect().right, 1);
    EXPECT_EQ(catcher->BoundsRect().bottom, 1);
    EXPECT_TRUE(catcher->Enabled());

    RunEventLoop();
    EXPECT_FALSE(catcher->Enabled());

    int calls = 0;
    notifier->OnReady = [&](TObject*) { ++calls; };
    ReleaseAtOrigin(form);
    EXPECT_EQ(calls, 0);
}

TEST(ReadyNotifier, NeverFiresWithoutAFormAsOwner)
{
    TForm form(nullptr);  // a form nearby, with its own loop running
    TComponent plainOwner(nullptr);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(0, 0, 50, 50);
    int calls = 0;
    auto count = [&](TObject*) { ++calls; };

    (new TReadyNotifier(&plainOwner))->OnReady = count;
    (new TReadyNotifier(panel))->OnReady = count;
    std::unique_ptr<TReadyNotifier> unowned(new TReadyNotifier(nullptr));
    unowned->OnReady = count;

    form.Handle();
    RunEventLoop();
    ReleaseAtOrigin(form);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(CatcherOf(form), nullptr);
}

TEST(ReadyNotifier, TwoOnOneFormFireOnceEachTheLaterFirst)
{
    TForm form(nullptr);
    auto* first = new TReadyNotifier(&form);
    auto* second = new TReadyNotifier(&form);
    std::vector<TObject*> order;
    first->OnReady = [&](TObject* sender) { order.push_back(sender); };
    second->OnReady = [&](TObject* sender) { order.push_back(sender); };

    RunEventLoop();  // fires whether or not the form is on the screen
    ReleaseAtOrigin(form);
    EXPECT_EQ(order, (std::vector<TObject*>{second, first}));
}

TEST(ReadyNotifier, ErrorOfTheHandlerReachesTheApplicationAndItStaysFired)
{
    std::vector<std::wstring> handled;
    Application().OnException = [&](TObject*, const Exception& e) { handled.push_back(e.Message()); };
    TForm form(nullptr);
    auto* notifier = new TReadyNotifier(&form);
    int calls = 0;
    notifier->OnReady = [&](TObject*) {
        ++calls;
        throw EReadError(L"ｽﾄﾘｰﾑからの読み込みｴﾗｰ");
    };

    RunEventLoop();
    ReleaseAtOrigin(form);
    Application().OnException = nullptr;

    EXPECT_EQ(calls, 1);
    EXPECT_EQ(handled, std::vector<std::wstring>{L"ｽﾄﾘｰﾑからの読み込みｴﾗｰ"});
}

}  // namespace
