// The page's messages as the program's, natively: what page.js hands over
// becomes the window procedure's message for an open window, and nothing
// for a kind it does not know or while no window is open.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "app/platform/web/web_messages.h"
#include "tests/support/platform_event_fields.h"

namespace {

using Kind = PlatformEvent::Kind;

// The event a row expects, by the name the rows read best with.
const auto message = [](auto... values) { return platformEvent(values...); };

void expectQueue(const PageMessages& messages, const std::vector<PlatformEvent>& expected) {
    ASSERT_EQ(messages.queue.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(fields(messages.queue[i]) == fields(expected[i])) << "message " << i;
    }
}

TEST(WebMessages, MouseKindsBecomeMovesAndButtons) {
    const struct {
        int kind, x, y, buttons;
        PlatformEvent expected;
    } rows[] = {
        {0, 12, 34, 0, message(Kind::mouseMove, 0, 12, 34)},
        {0, 1023, 767, 3, message(Kind::mouseMove, 0, 1023, 767, mouseButtonLeft | mouseButtonRight)},
        {0, 5, 6, 2 | 4 | 8, message(Kind::mouseMove, 0, 5, 6, mouseButtonRight)},  // middle and beyond: none
        {1, 7, 8, 1, message(Kind::leftButton, 0, 0, 0, 0, true)},
        {2, 7, 8, 0, message(Kind::leftButton)},
        {3, 7, 8, 2, message(Kind::rightButton, 0, 0, 0, 0, true)},
        {4, 7, 8, 0, message(Kind::rightButton)},
        {5, 7, 8, 0, message(Kind::none)},
        {-1, 7, 8, 0, message(Kind::none)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.kind);
        PageMessages messages;
        EXPECT_FALSE(messages.mouse(row.kind, row.x, row.y, row.buttons)) << "no window yet";
        messages.open(1024, 768, false);
        const bool some = row.expected.kind != Kind::none;
        EXPECT_EQ(messages.mouse(row.kind, row.x, row.y, row.buttons), some);
        expectQueue(messages, some ? std::vector<PlatformEvent>{row.expected} : std::vector<PlatformEvent>{});
    }
}

TEST(WebMessages, KeysGoDownAndUpAndComeUpWhenTheCanvasLosesTheKeyboard) {
    PageMessages messages;
    EXPECT_FALSE(messages.key(vkSpace, true)) << "no window yet";
    messages.open(800, 600, false);
    EXPECT_TRUE(messages.key(vkSpace, true));
    EXPECT_TRUE(messages.key(1, true));                 // the first code
    EXPECT_TRUE(messages.key(keyCodeCount - 1, true));  // the last
    EXPECT_TRUE(messages.key(vkA, true));
    EXPECT_TRUE(messages.key(vkA, false));
    EXPECT_FALSE(messages.key(0, true)) << "a key without a code";
    EXPECT_FALSE(messages.key(keyCodeCount, true));
    EXPECT_FALSE(messages.key(-1, true));
    expectQueue(messages, {message(Kind::keyDown, vkSpace), message(Kind::keyDown, 1),
                           message(Kind::keyDown, keyCodeCount - 1), message(Kind::keyDown, vkA),
                           message(Kind::keyUp, vkA)});
    messages.queue.clear();

    // Every key still held comes up, in code order, and only once.
    EXPECT_TRUE(messages.happened(0));
    expectQueue(messages, {message(Kind::keyUp, 1), message(Kind::keyUp, vkSpace),
                           message(Kind::keyUp, keyCodeCount - 1)});
    messages.queue.clear();
    EXPECT_FALSE(messages.happened(0));
    EXPECT_TRUE(messages.queue.empty());
}

TEST(WebMessages, WhatHappensToThePageBecomesSizesAndTheToggle) {
    const struct {
        int kind;
        bool fullscreen;
        PlatformEvent expected;
    } rows[] = {
        {1, false, message(Kind::sizeChanged, 0, 0, 0, 0, false, SizeKind::minimised)},
        {2, false, message(Kind::sizeChanged, 0, 640, 480, 0, false, SizeKind::restored)},
        {3, true, message(Kind::toggleScreenMode)},
        {3, false, message(Kind::none)},  // windowed already: nothing to leave
        {4, true, message(Kind::none)},
        {-1, true, message(Kind::none)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.kind);
        PageMessages messages;
        EXPECT_FALSE(messages.happened(row.kind));
        messages.open(640, 480, row.fullscreen);
        const bool some = row.expected.kind != Kind::none;
        EXPECT_EQ(messages.happened(row.kind), some);
        expectQueue(messages, some ? std::vector<PlatformEvent>{row.expected} : std::vector<PlatformEvent>{});
        if (row.kind == 3) {
            EXPECT_FALSE(messages.happened(3)) << "the toggle once: the window is windowed now";
        }
    }
}

TEST(WebMessages, AClosedWindowTakesNothingAndKeepsNothing) {
    PageMessages messages;
    messages.open(1024, 768, true);
    EXPECT_TRUE(messages.isOpen());
    messages.key(vkF8, true);
    messages.mouse(0, 1, 2, 0);
    messages.close();
    EXPECT_FALSE(messages.isOpen());
    EXPECT_TRUE(messages.queue.empty());
    EXPECT_FALSE(messages.key(vkF8, false));
    EXPECT_FALSE(messages.mouse(1, 0, 0, 0));
    EXPECT_FALSE(messages.happened(0));
    EXPECT_FALSE(messages.happened(2));
    messages.open(800, 600, false);
    EXPECT_FALSE(messages.happened(3)) << "the window of before was the full-screen one";
    EXPECT_TRUE(messages.happened(0)) << "F8 is still down on the canvas";
    expectQueue(messages, {message(Kind::keyUp, vkF8)});
}

TEST(WebMessages, ThePageKeepsTheBrowserFromControlKeysWithoutModifiers) {
    EXPECT_TRUE(pageKeepsKey(true, false));
    EXPECT_FALSE(pageKeepsKey(true, true)) << "Control+R stays the browser's";
    EXPECT_FALSE(pageKeepsKey(false, false));
    EXPECT_FALSE(pageKeepsKey(false, true));
}

}  // namespace
