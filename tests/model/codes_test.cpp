#include "model/codes.h"

#include <gtest/gtest.h>

#include <string>

using text::utf8;

namespace {

std::string s8(const char16_t* s) { return text::to_utf8(s); }

TEST(Codes, ErrorAndWarningListsJoinSetBitsInOrder) {
    EXPECT_EQ(utf8(codes::ErrorListText(0)), "");
    EXPECT_EQ(utf8(codes::ErrorListText(0x2001)),
              "e0 - Ошибка инициализации сенсора MIPEX\n"
              "e13 - Повреждение цепи подключения датчика\n");
    // Bits past the tabled ones add no text but still count.
    EXPECT_EQ(utf8(codes::ErrorListText(0xFFFFC000u)), "");
    EXPECT_EQ(codes::SetBitCount(0xFFFFC000u), 18u);

    EXPECT_EQ(utf8(codes::WarningListText(0xFFFFFFFFu)),
              "w0 - Пониженная точность измерения\n"
              "w1 - Слишком частый опрос датчика\n"
              "w2 - Выполняется инициализация\n"
              "w3 - Выполняется самодиагностика\n"
              "w4 - Датчик в режиме сохранения\n");
    EXPECT_EQ(codes::SetBitCount(0xFFFFFFFFu), 32u);
    EXPECT_EQ(codes::SetBitCount(0), 0u);
    EXPECT_EQ(s8(codes::ErrorBitText(14)), "");
}

TEST(Codes, StatusAndChangeCodesAtTheTableEdges) {
    EXPECT_EQ(s8(codes::StatusCodeText(0)), "- OK ");
    EXPECT_EQ(s8(codes::StatusCodeText(14)), "e13 - Повреждение цепи подключения датчика");
    EXPECT_EQ(s8(codes::StatusCodeText(15)), "w0- Пониженная точность измерения");
    EXPECT_EQ(s8(codes::StatusCodeText(20)), "ef-  ");
    EXPECT_EQ(s8(codes::StatusCodeText(21)), "");
    EXPECT_EQ(s8(codes::StatusCodeText(0xFFFFFFFFu)), "");

    EXPECT_EQ(utf8(codes::ChangeCodeText(0)), "Ничего не изменилось");
    EXPECT_EQ(utf8(codes::ChangeCodeText(7)), "Очищены журналы");
    EXPECT_EQ(utf8(codes::ChangeCodeText(8)), "Неизвестный код изменения: 8");
    EXPECT_EQ(utf8(codes::ChangeCodeText(65535)), "Неизвестный код изменения: 65535");
}

TEST(Codes, GasTablesAreIndexedFromZeroAndSafePastTheEnd) {
    EXPECT_EQ(s8(codes::GasTableA(0).name), "");
    EXPECT_EQ(s8(codes::GasTableA(14).formula), "C2H3Cl");
    EXPECT_EQ(s8(codes::GasTableB(0).name), "Пропан");
    EXPECT_EQ(s8(codes::GasTableB(13).formula), "C6H50H");
    EXPECT_EQ(s8(codes::GasTableB(14).name), "Оксид этилена");
    EXPECT_EQ(s8(codes::GasTableA(15).name), "");
    EXPECT_EQ(s8(codes::GasTableB(1000).formula), "");
}

TEST(Codes, UnitTextForTheThermocatalyticAndOtherSensorKinds) {
    EXPECT_EQ(utf8(codes::UnitText(0, 1, 13)), "%НКПР CO");
    EXPECT_EQ(utf8(codes::UnitText(0, 1, 0)), "%НКПР ");
    EXPECT_EQ(utf8(codes::UnitText(0, 1, 15)), "%НКПР ");
    // The MIPEX type does not matter for sensor kind 1.
    EXPECT_EQ(utf8(codes::UnitText(2, 1, 1)), "%НКПР CH4");
    EXPECT_EQ(utf8(codes::UnitText(3, 2, 4)), "");
    EXPECT_EQ(utf8(codes::UnitText(2, 3, 1)), "");
    EXPECT_EQ(utf8(codes::UnitText(0, 255, 1)), "");
}

TEST(Codes, UnitTextForEveryMipexTypeGroup) {
    struct Case { uint8_t type; uint32_t gas; const char* want; };
    const Case cases[] = {
        {8, 1, ""}, {25, 1, ""}, {255, 1, ""},
        {2, 1, "%Об.Д CO"}, {4, 5, "%Об.Д CO"}, {6, 0, "%Об.Д CO"}, {12, 99, "%Об.Д CO"}, {21, 1, "%Об.Д CO"},
        {3, 4, "%НКПР C5H12"}, {3, 15, "%НКПР C3H8"}, {16, 0, "%НКПР C3H8"}, {17, 14, "%НКПР C2H4O"},
        {22, 13, "%НКПР C6H50H"}, {23, 70000, "%НКПР C3H8"},
        {5, 1, "%НКПР "}, {24, 1, "%НКПР "}, {26, 1, "%НКПР "}, {200, 3, "%НКПР "}, {254, 1, "%НКПР "},
        {0, 4, "%НКПР CH4"}, {1, 4, "%НКПР CH4"}, {7, 4, "%НКПР CH4"}, {9, 4, "%НКПР CH4"},
        {13, 4, "%НКПР CH4"}, {15, 4, "%НКПР CH4"}, {18, 4, "%НКПР CH4"}, {20, 4, "%НКПР CH4"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf8(codes::UnitText(c.type, 0, c.gas)), c.want) << "MIPEX type " << int(c.type) << " gas " << c.gas;
}

}  // namespace
