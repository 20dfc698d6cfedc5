#include "app/frm_main_texts.h"

namespace velgrin {

std::string AdapterFailureTooltip(const std::string& reason) {
    // The reason names this one failure; the doctor looks at the whole machine.
    const std::string next = "next step: velgrin-cli doctor";
    return reason.empty() ? next : reason + "\n" + next;
}

std::string HelpMessageText() {
    return std::string(
               "Требуется помощь?\r\nобращайтесь в службу техподдержки\r\nили пишите на "
               "адрес\r\n") +
           links::kSupportMail;
}

std::string UserAgreementText() {
    return std::string(
               "ПОЛЬЗОВАТЕЛЬСКОЕ СОГЛАШЕНИЕ\n"
               "\n"
               "Программа Velgrin принадлежит ООО \"Corvane\" и служит для настройки датчиков "
               "DS18S20, DS18B20 и DS1820.\n"
               "\n"
               "Программу можно бесплатно устанавливать, запускать, использовать и копировать. "
               "Изменять программу и продавать её запрещено.\n"
               "\n"
               "Программа предоставляется \"как есть\", без каких-либо гарантий, явных или "
               "подразумеваемых.\n"
               "\n"
               "Весь риск, связанный с использованием программы, несёт пользователь. "
               "Ответственность за любой ущерб, причинённый её использованием, также лежит на "
               "пользователе.\n"
               "\n"
               "Вопросы и предложения присылайте на адрес ") +
           links::kSupportMail + " с темой письма \"Velgrin sensor\".";
}

}  // namespace velgrin
