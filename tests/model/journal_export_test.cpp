#include "model/journal_export.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/numeric_locale.h"
#include "tests/scratch.h"

namespace fs = std::filesystem;
using namespace luma;

namespace {

const std::string kBom = "\xEF\xBB\xBF";
const device_time_t kTime{26, 3, 12, 15, 30, 59};  // 2026.03.12 15:30:59
const device_time_t kStart{0, 1, 1, 0, 0, 0};      // 2000.01.01 00:00:00

template <typename T>
Array_T<T> list(std::initializer_list<T> items) {
    Array_T<T> a;
    for (const T& t : items) a.append(t);
    return a;
}

// Exports are checked under the C locale and a Russian one. Expected texts are
// written with '~' where the decimal separator goes.
class JournalExport : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (!plat::numeric_locale_available(GetParam()))
            GTEST_SKIP() << "locale " << GetParam() << " is not installed; run scripts/setup.sh to generate it";
        sep_ = std::string(GetParam()) == "C" ? '.' : ',';
    }
    std::string expect(std::string s) const {
        for (char& c : s)
            if (c == '~') c = sep_;
        return kBom + s;
    }
    template <typename J>
    std::string csv(const J& j) const { return export_bytes(j, export_format::csv, GetParam()); }
    template <typename J>
    std::string txt(const J& j) const { return export_bytes(j, export_format::text, GetParam()); }

    char sep_ = '.';
};

TEST_P(JournalExport, ThresholdJournals) {
    auto t1 = list<item1_t>({{0, kTime, 123}, {41, kStart, 0}});
    EXPECT_EQ(txt(t1), expect("1. 2026.03.12 15:30:59 Превышен порог 1\n\tКонцентрация: 12~30, %НКПР\n"
                              "42. 2000.01.01 00:00:00 Превышен порог 1\n\tКонцентрация: 0~00, %НКПР\n"));
    EXPECT_EQ(csv(t1), expect("\"Номер записи\";\"Дата\";\"Время\";\"Концентрация, %НКПР\"\n"
                              "1;\"2026.03.12\";\"15:30:59\";\" 12~30\"\n"
                              "42;\"2000.01.01\";\"00:00:00\";\" 0~00\"\n"));

    auto t2 = list<item2_t>({{9, kTime, 65535}});
    EXPECT_EQ(txt(t2), expect("10. 2026.03.12 15:30:59 Превышен порог 2\n\tКонцентрация: 6553~50, %НКПР\n"));
    EXPECT_EQ(csv(t2), expect("\"Номер записи\";\"Дата\";\"Время\";\"Концентрация, %НКПР\"\n"
                              "10;\"2026.03.12\";\"15:30:59\";\" 6553~50\"\n"));
}

TEST_P(JournalExport, AlarmJournalKnownAndUnknownStatusCodes) {
    auto a = list<item3_t>({{0, kTime, 0}, {1, kTime, 99}, {2, kStart, 14}});
    EXPECT_EQ(txt(a), expect("1. 2026.03.12 15:30:59\n\t- OK \n"
                             "2. 2026.03.12 15:30:59\n\t\n"
                             "3. 2000.01.01 00:00:00\n\te13 - Повреждение цепи подключения датчика\n"));
    EXPECT_EQ(csv(a), expect("\"Номер записи\";\"Дата\";\"Время\";\"Описание аварии\"\n"
                             "1;\"2026.03.12\";\"15:30:59\";\"- OK \"\n"
                             "2;\"2026.03.12\";\"15:30:59\";\"\"\n"
                             "3;\"2000.01.01\";\"00:00:00\";\"e13 - Повреждение цепи подключения датчика\"\n"));
}

// event word: kind | point << 4 | gas << 8
TEST_P(JournalExport, SetupJournalEveryEventKind) {
    auto s = list<item4_t>({
        {0, kTime, 0x0D30, 1, 2, 3, 4, 5},               // kind 0: number and time only
        {1, kTime, 0x0001, 1234, 0, 0, 0, 0},            // zero correction
        {2, kTime, 0x0002, 250, 5000, 0, 0, 0},          // second point
        {3, kTime, 0x0423, 0, 2500, 0, 0, 0},            // additional gas, table B row 4, point 2
        {4, kTime, 0x1413, 0, 1, 0, 0, 0},               // additional gas out of range: propane
        {5, kTime, 0x0D34, 0, 1050, 123, 100000, 4294967295u},  // thermocatalytic, table A row 13, point 3
        {6, kTime, 0x1414, 0, 0, 0, 0, 0},               // thermocatalytic gas out of range: no name
        {7, kTime, 0x0005, 1, 1, 1, 1, 1},               // kinds 5..7 add nothing
        {8, kTime, 0xFFFF, 1, 1, 1, 1, 1},
    });
    EXPECT_EQ(txt(s), expect(
        "1. 2026.03.12 15:30:59\n"
        "2. 2026.03.12 15:30:59 Проведена корректировка нуля.\n\tИзмеренная концентрация: 12~34\n"
        "3. 2026.03.12 15:30:59 Проведена настройка второй точки\n\tИзмеренная концентрация: 2~50, %НКПР"
        "\n\tВведенная концентрация: 50~00, %НКПР\n"
        "4. 2026.03.12 15:30:59 Проведена настройка на дополнительный газ\n\tГаз: Пентан"
        "\n\tВведенная концентрация при настройке точки №2: 25~00, %НКПР\n"
        "5. 2026.03.12 15:30:59 Проведена настройка на дополнительный газ\n\tГаз: Пропан"
        "\n\tВведенная концентрация при настройке точки №1: 0~01, %НКПР\n"
        "6. 2026.03.12 15:30:59 Проведена настройка термокаталитического датчика\n\tГаз: Оксид углерода"
        "\n\tВведенная концентрация при настройке точки №3: 10~50, %НКПР"
        "\n\tИзмеренная чувствительность датчика: 12~3, мВ/%НКПР"
        "\n\tЛинейная экспозиция: 100000\n\tКвадратичная экспозиция: 4294967295\n"
        "7. 2026.03.12 15:30:59 Проведена настройка термокаталитического датчика\n\tГаз: "
        "\n\tВведенная концентрация при настройке точки №1: 0~00, %НКПР"
        "\n\tИзмеренная чувствительность датчика: 0~0, мВ/%НКПР"
        "\n\tЛинейная экспозиция: 0\n\tКвадратичная экспозиция: 0\n"
        "8. 2026.03.12 15:30:59\n"
        "9. 2026.03.12 15:30:59\n"));
    EXPECT_EQ(csv(s), expect(
        "\"Номер записи\";\"Дата\";\"Время\";\"Событие\";\"Подробности\"\n"
        "1;\"2026.03.12\";\"15:30:59\"\n"
        "2;\"2026.03.12\";\"15:30:59\";\"Проведена корректировка нуля.\";\"Измеренная концентрация: 12~34\"\n"
        "3;\"2026.03.12\";\"15:30:59\";\"Проведена настройка второй точки\";\"Измеренная концентрация: 2~50, %НКПР"
        "\nВведенная концентрация: 50~00, %НКПР\"\n"
        "4;\"2026.03.12\";\"15:30:59\";\"Проведена настройка на дополнительный газ\";\"Газ: Пентан"
        "\nВведенная концентрация при настройке точки №2: 25~00, %НКПР\"\n"
        "5;\"2026.03.12\";\"15:30:59\";\"Проведена настройка на дополнительный газ\";\"Газ: Пропан"
        "\nВведенная концентрация при настройке точки №1: 0~01, %НКПР\"\n"
        "6;\"2026.03.12\";\"15:30:59\";\"Проведена настройка термокаталитического датчика\";\"Газ: Оксид углерода"
        "\nВведенная концентрация при настройке точки №3: 10~50, %НКПР"
        "\nИзмеренная чувствительность датчика: 12~3, мВ/%НКПР"
        "\nЛинейная экспозиция: 100000\nКвадратичная экспозиция: 4294967295\"\n"
        "7;\"2026.03.12\";\"15:30:59\";\"Проведена настройка термокаталитического датчика\";\"Газ: "
        "\nВведенная концентрация при настройке точки №1: 0~00, %НКПР"
        "\nИзмеренная чувствительность датчика: 0~0, мВ/%НКПР"
        "\nЛинейная экспозиция: 0\nКвадратичная экспозиция: 0\"\n"
        "8;\"2026.03.12\";\"15:30:59\"\n"
        "9;\"2026.03.12\";\"15:30:59\"\n"));
}

TEST_P(JournalExport, ConfigJournalKnownAndUnknownChangeCodes) {
    auto c = list<item6_t>({{0, kTime, 0}, {1, kTime, 7}, {2, kTime, 9}});
    EXPECT_EQ(txt(c), expect("1. 2026.03.12 15:30:59\n\tНичего не изменилось\n"
                             "2. 2026.03.12 15:30:59\n\tОчищены журналы\n"
                             "3. 2026.03.12 15:30:59\n\tНеизвестный код изменения: 9\n"));
    EXPECT_EQ(csv(c), expect("\"Номер записи\";\"Дата\";\"Время\";\"Событие\"\n"
                             "1;\"2026.03.12\";\"15:30:59\";\"Ничего не изменилось\"\n"
                             "2;\"2026.03.12\";\"15:30:59\";\"Очищены журналы\"\n"
                             "3;\"2026.03.12\";\"15:30:59\";\"Неизвестный код изменения: 9\"\n"));
}

TEST_P(JournalExport, TrendTimesCountSecondsFrom2000) {
    auto t = list<item7_t>({{0, 0, 0, 0}, {1, 86399, 255, 255}, {2, 5097599, 12, 21},
                            {3, 826644659, 1, 2}, {4, 0xFFFFFFFFu, 3, 4}});
    EXPECT_EQ(txt(t), expect("1. 2000.01.01 00:00:00\n\tКонцентрация: 0\n\tТемпература: 0\n"
                             "2. 2000.01.01 23:59:59\n\tКонцентрация: 255\n\tТемпература: 255\n"
                             "3. 2000.02.28 23:59:59\n\tКонцентрация: 12\n\tТемпература: 21\n"
                             "4. 2026.03.12 15:30:59\n\tКонцентрация: 1\n\tТемпература: 2\n"
                             "5. 2136.02.07 06:28:15\n\tКонцентрация: 3\n\tТемпература: 4\n"));
    EXPECT_EQ(csv(t), expect("\"Номер записи\";\"Дата\";\"Время\";\"Концентрация\";\"Температура\"\n"
                             "1;\"2000.01.01\";\"00:00:00\";\"0\";\"0\"\n"
                             "2;\"2000.01.01\";\"23:59:59\";\"255\";\"255\"\n"
                             "3;\"2000.02.28\";\"23:59:59\";\"12\";\"21\"\n"
                             "4;\"2026.03.12\";\"15:30:59\";\"1\";\"2\"\n"
                             "5;\"2136.02.07\";\"06:28:15\";\"3\";\"4\"\n"));
}

TEST_P(JournalExport, Counters) {
    const counters_t c{1, 2, 3, 4, 5, 6, 7, 4294967295u};
    EXPECT_EQ(txt(c), expect("Счетчики\n\tПорог 1: 1\n\tПорог 2: 2\n\tАвария: 3\n\tПредыдущий год. Порог 1: 4"
                             "\n\tПредыдущий год. Порог 2: 5\n\tПредыдущий год. Авария: 6"
                             "\n\tЛинейная экспозиция: 7\n\tКвадратичная экспозиция: 4294967295\n\n"));
    EXPECT_EQ(csv(c), expect("\"Счетчик\";\"Значение\"\n"
                             "\"Порог 1:\";\"1\"\n\"Порог 2:\";\"2\"\n\"Авария:\";\"3\"\n"
                             "\"Предыдущий год. Порог 1:\";\"4\"\n\"Предыдущий год. Порог 2:\";\"5\"\n"
                             "\"Предыдущий год. Авария:\";\"6\"\n\"Линейная экспозиция:\";\"7\"\n"
                             "\"Квадратичная экспозиция:\";\"4294967295\"\n\n"));
}

TEST_P(JournalExport, EmptyJournalIsTheMarkAloneOrTheMarkAndHeader) {
    EXPECT_EQ(txt(Array_T<item3_t>()), kBom);
    EXPECT_EQ(csv(Array_T<item3_t>()), kBom + "\"Номер записи\";\"Дата\";\"Время\";\"Описание аварии\"\n");
    EXPECT_EQ(txt(Array_T<item7_t>()), kBom);
    EXPECT_EQ(csv(Array_T<item7_t>()),
              kBom + "\"Номер записи\";\"Дата\";\"Время\";\"Концентрация\";\"Температура\"\n");
}

INSTANTIATE_TEST_SUITE_P(Locales, JournalExport, ::testing::Values("C", "ru_RU.UTF-8"),
                         [](const auto& info) { return std::string(info.param) == "C" ? "C" : "Russian"; });

std::string format_half() {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    return buf;
}

TEST(NumericLocale, SwitchIsPerThreadAndRestored) {
    if (!plat::numeric_locale_available("ru_RU.UTF-8"))
        GTEST_SKIP() << "locale ru_RU.UTF-8 is not installed; run scripts/setup.sh to generate it";
    ASSERT_EQ(format_half(), "1.5");
    {
        plat::ScopedNumericLocale ru("ru_RU.UTF-8");
        ASSERT_TRUE(ru.active());
        EXPECT_EQ(format_half(), "1,5");
        std::string other;
        std::thread([&] { other = format_half(); }).join();
        EXPECT_EQ(other, "1.5") << "another thread's formatting must not change";
    }
    EXPECT_EQ(format_half(), "1.5");
    // An export under the Russian locale leaves this thread's locale alone.
    export_bytes(list<item1_t>({{0, kTime, 5}}), export_format::csv, "ru_RU.UTF-8");
    EXPECT_EQ(format_half(), "1.5");
    // An unknown name changes nothing.
    plat::ScopedNumericLocale bogus("xx_NOWHERE.UTF-8");
    EXPECT_FALSE(bogus.active());
    EXPECT_EQ(format_half(), "1.5");
}

// ---- writing the file ----

class ExportFile : public scratch::Test {
protected:
    ExportFile() : scratch::Test("luma_export", "journal.csv") {}
    void SetUp() override {
        // The failure cases run in a child process; re-executing the test
        // program is safe whatever threads a sanitizer runtime has started.
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        scratch::Test::SetUp();
        std::ofstream(path_, std::ios::binary) << "old contents";
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, ec);
        fs::remove_all(dir_, ec);
    }
    static std::string read(const std::string& path) { return scratch::slurp(path); }
    size_t files_in_dir() const { return size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator())); }
};

TEST_F(ExportFile, ReplacesTheOldFileWithTheExactBytes) {
    const std::string bytes = export_bytes(list<item1_t>({{0, kTime, 123}}), export_format::text, "C");
    ASSERT_FALSE(write_export_file(path_, bytes).is_error());
    EXPECT_EQ(read(path_), bytes);
    EXPECT_EQ(files_in_dir(), 1u) << "no temporary file may stay behind";
}

TEST_F(ExportFile, MissingFolderIsReported) {
    error_value_t err = write_export_file((dir_ / "absent" / "x.csv").string(), "data");
    EXPECT_TRUE(err.is_error());
    EXPECT_EQ(err, error_value_t(kExportNoFolder, export_category()));
    EXPECT_EQ(text::utf8(err.describe()), "Экспорт журнала: Папка не найдена");
}

// The message names what went wrong, not always the folder.
TEST_F(ExportFile, EachFailureNamesItsCause) {
    // /proc exists but takes no new files; the system says "no such entry".
    error_value_t err = write_export_file("/proc/version", "data");
    EXPECT_EQ(err, error_value_t(kExportFolderRefusesFiles, export_category()));
    EXPECT_EQ(text::utf8(err.describe()), "Экспорт журнала: В этой папке нельзя создавать файлы");

    // A folder of the name given cannot be replaced by the export.
    fs::create_directory(dir_ / "sub");
    err = write_export_file((dir_ / "sub").string(), "data");
    EXPECT_EQ(err, error_value_t(kExportTargetIsFolder, export_category()));
    EXPECT_TRUE(fs::is_directory(dir_ / "sub"));

    // A file on the way to the folder.
    err = write_export_file(path_ + "/x.csv", "data");
    EXPECT_EQ(err, error_value_t(kExportNoFolder, export_category()));

    err = write_export_file((dir_ / std::string(300, 'n')).string(), "data");
    EXPECT_EQ(err, error_value_t(kExportNameTooLong, export_category()));
    EXPECT_EQ(read(path_), "old contents");
    EXPECT_EQ(files_in_dir(), 2u);  // the file and the folder
}

// Only a regular file gives way to an export: a FIFO, a link or a device
// node under the name stays as it was, and the refusal names the file.
TEST_F(ExportFile, OnlyARegularFileIsReplaced) {
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    error_value_t err = write_export_file(fifo, "data");
    EXPECT_EQ(err, error_value_t(kExportNotRegularFile, export_category()));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_NE(text::utf8(export_failure_text(fifo, err)).find("файл " + fifo + ": Экспорт журнала: "),
              std::string::npos);

    const std::string link = (dir_ / "link.csv").string();
    fs::create_symlink(path_, link);
    EXPECT_EQ(write_export_file(link, "data"), error_value_t(kExportNotRegularFile, export_category()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read(path_), "old contents");
    EXPECT_EQ(files_in_dir(), 3u) << "no temporary file may stay behind";

    // A device node of its own (the null device's numbers), so that a fault
    // never replaces one the system uses.
    if (geteuid() != 0) GTEST_SKIP() << "making a device node needs root";
    const std::string device = (dir_ / "null").string();
    if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "this system refuses to make device nodes";
    EXPECT_EQ(write_export_file(device, "data"), error_value_t(kExportNotRegularFile, export_category()));
    EXPECT_TRUE(fs::is_character_file(device));
}

// Run in a child process: root ignores folder permissions, so the child gives
// up its privileges first.
[[noreturn]] void write_unprivileged(const std::string& path) {
    if (geteuid() == 0 && setuid(65534) != 0) std::_Exit(2);
    error_value_t err = write_export_file(path, "new contents");
    std::_Exit(err == error_value_t(kExportNoAccess, export_category()) ? 0 : 1);
}

TEST_F(ExportFile, UnwritableFolderKeepsTheExistingFile) {
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    EXPECT_EXIT(write_unprivileged(path_), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(read(path_), "old contents");
    EXPECT_EQ(files_in_dir(), 1u);
}

[[noreturn]] void write_with_size_limit(const std::string& path, const std::string& bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit lim{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &lim);
    error_value_t err = write_export_file(path, bytes);
    std::_Exit(err == error_value_t(kExportWriteFailed, export_category()) ? 0 : 1);
}

// A write that fails half-way (a full disk; simulated by a file-size limit in
// a child process) must leave the old file whole and no partial file behind.
TEST_F(ExportFile, FailedWriteKeepsTheExistingFile) {
    const std::string big(100000, 'x');
    EXPECT_EXIT(write_with_size_limit(path_, big), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(read(path_), "old contents");
    EXPECT_EQ(files_in_dir(), 1u);
}

}  // namespace
