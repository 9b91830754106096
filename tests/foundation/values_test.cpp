#include <gtest/gtest.h>

#include "foundation/containers.h"
#include "foundation/error.h"
#include "foundation/settings_store.h"
#include "foundation/ustring.h"

TEST(ErrorValues, CategoriesNameAndDescribeCodes) {
    error_value_t ok;
    EXPECT_FALSE(ok.is_error());
    EXPECT_EQ(text::utf8(ok.name()), "no category");
    EXPECT_EQ(text::utf8(ok.message()), "ok");
    EXPECT_EQ(text::utf8(error_value_t(5, empty_category()).message()), "unknown error");

    EXPECT_EQ(text::utf8(app::assert_category().message(9)), "Неизвестная ошибка");
    EXPECT_EQ(text::utf8(app::assert_category().message(0)), "Нет ошибки");
    EXPECT_EQ(text::utf8(app_error(5).describe()), "Приложение: Таймаут загрузки журнала");
    // The two sentence forms for the user.
    EXPECT_EQ(text::utf8(window_message_text(app_error(4))), "Приложение. Ошибка загрузки журнала");
    EXPECT_EQ(text::utf8(port_message_text(u"Открытие порта", app_error(1))),
              "Открытие порта\nПриложение: Логическая ошибка в программе");

    // Same code, different categories: different errors.
    error_value_t a(2, app::assert_category()), b(2, empty_category());
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a == app_error(2));
    EXPECT_TRUE(app::assert_category().equivalent(a, 2));
    EXPECT_FALSE(empty_category().equivalent(a, 2));
}

TEST(Containers, ArrayGrowthAndRemoval) {
    Array_T<int> a;
    for (int i = 0; i < 10; ++i) a.append(i);
    EXPECT_EQ(a.capacity(), 16u);  // 1, 2, 4, 8, 16

    Array_T<int> three;
    for (int i = 0; i < 3; ++i) three.append(i);
    EXPECT_FALSE(three.remove_at(3));
    EXPECT_EQ(three.count(), 3u);
    EXPECT_TRUE(three.remove_at(0));
    EXPECT_EQ(three[0], 1);
    EXPECT_EQ(three[1], 2);

    Array_T<int> grown;
    grown.set_count(5);  // 2, 3, 4, 6
    EXPECT_EQ(grown.capacity(), 6u);
    grown.clear();
    EXPECT_EQ(grown.capacity(), 0u);
}

TEST(Containers, DelegatesVisitAndFind) {
    DoubleLinkedList_T<int> list;
    for (int i = 1; i <= 4; ++i) list.append(i);
    int sum = 0;
    EXPECT_EQ(list.for_each([](int* v, void* u) { *static_cast<int*>(u) += *v; return true; }, &sum), 4u);
    EXPECT_EQ(sum, 10);
    int* found = list.find_first([](int* v, void*) { return *v > 2; }, nullptr);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(*found, 3);
    // An empty delegate visits nothing.
    EXPECT_EQ(list.for_each(ItemDelegate_T<int>(), nullptr), 0u);
    EXPECT_EQ(list.find_first(ItemDelegate_T<int>(), nullptr), nullptr);
}

TEST(Text, Utf8ConversionKeepsEveryCodeUnit) {
    EXPECT_EQ(text::to_utf8(u"Порог"), "Порог");
    std::u16string pair = {0xD83D, 0xDE00};  // U+1F600
    EXPECT_EQ(text::to_utf8(pair), "\xF0\x9F\x98\x80");
    std::u16string lone = {u'a', 0xD800, u'b'};
    EXPECT_EQ(text::to_utf8(lone), "a\xED\xA0\x80" "b");
    EXPECT_EQ(text::from_utf8("Газ"), u"Газ");
    EXPECT_EQ(text::from_cp1251("\xCF\xF0\xE8\xE2\xE5\xF2 \xA8"), u"Привет Ё");
    EXPECT_EQ(text::utf8(text::format(5, "%d-%s", 12345, "abc")), "12345");
    EXPECT_EQ(text::utf8(text::to_lower(u"ЁЛКА Ok")), "ёлка ok");
}

// Texts up to kSmall characters live inside the string, longer ones on the
// heap: copies, moves and joins across that border, and joins with the
// string's own text, keep every character.
TEST(Text, ShortAndLongStringsCopyMoveAndJoin) {
    const std::u16string small(ustring_t::kSmall, u'я'), large(ustring_t::kSmall + 1, u'я');
    for (const std::u16string& w : {small, large}) {
        ustring_t a{std::u16string_view(w)};
        ustring_t b = a;
        ustring_t c = std::move(a);
        EXPECT_TRUE(a.empty());
        EXPECT_EQ(b.view(), w);
        EXPECT_EQ(c.view(), w);
        a = std::move(c);
        EXPECT_EQ(a.view(), w);
        a += a;  // its own text
        EXPECT_EQ(a.view(), w + w);
        a.assign(a.data() + 1, 3);  // part of its own text
        EXPECT_EQ(a.view(), u"яяя");
    }
    ustring_t grow(std::u16string_view(small).substr(1));
    grow += u"ёж";  // across the border
    EXPECT_EQ(grow.view(), small.substr(1) + u"ёж");
    // A format longer than the stack buffers, and one cut to its maximum.
    const std::string many(300, 'x');
    EXPECT_EQ(text::format(1000, "%s", many.c_str()).length(), 300u);
    EXPECT_EQ(text::format(4, "%s", "абвгде"), u"абвг");
}

TEST(SettingsStore, SetGetIsAndBooleanOptions) {
    auto& s = kmxCommon::EnvVars_t::instance();
    ustring_t v;
    EXPECT_FALSE(s.Get(u"test.never_set", &v));
    EXPECT_FALSE(s.Is(u"test.never_set", u"true"));
    EXPECT_TRUE(s.BoolOption(u"test.never_set", true));
    EXPECT_FALSE(s.BoolOption(u"test.never_set", false));

    s.Set(u"a", u"test.twice");
    s.Set(u"b", u"test.twice");
    ASSERT_TRUE(s.Get(u"test.twice", &v));
    EXPECT_EQ(text::utf8(v), "b");

    s.Set(u"false", u"test.fullscreen");
    EXPECT_FALSE(s.BoolOption(u"test.fullscreen", true));
    s.Set(u"FALSE", u"test.fullscreen");
    EXPECT_TRUE(s.BoolOption(u"test.fullscreen", true));
}
