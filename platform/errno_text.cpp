#include "platform/errno_text.h"

#include <cerrno>

namespace plat {

std::string errno_text(int os_error) {
    switch (os_error) {
    case 0: return "Нет ошибки";
    case ENOENT: return "Нет такого файла или папки";
    case EACCES: return "Отказано в доступе";
    case EPERM: return "Операция не разрешена";
    case EEXIST: return "Файл уже существует";
    case ENOTDIR: return "Часть пути не является папкой";
    case EISDIR: return "Это папка";
    case ENOSPC: return "Нет места на диске";
    case ENAMETOOLONG: return "Слишком длинное имя файла";
    case EIO: return "Ошибка ввода-вывода";
    case ENODEV: return "Нет такого устройства";
    case EMFILE: case ENFILE: return "Слишком много открытых файлов";
    case ENOMEM: return "Недостаточно памяти";
    case EINVAL: return "Недопустимый аргумент";
    case EFBIG: return "Файл слишком велик";
    default: return "Системная ошибка " + std::to_string(os_error);
    }
}

}  // namespace plat
