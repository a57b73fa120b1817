#include "kd7240fp_notices.h"

#include <cstdio>
#include <utility>

#include "kd7010fp_app.h"

void kd7240fp_notices::echo(const QString &text) const
{
    if (unattended && !text.isEmpty())
        std::fprintf(stderr, "kd7240fp: %s\n", qPrintable(text));
}

void kd7240fp_notices::queue(const QString &text, bool warning)
{
    if (text.isEmpty())
        return;
    echo(text);
    kept.append({ text, warning });
}

void kd7240fp_notices::show()
{
    const QList<Notice> told = std::exchange(kept, {});
    for (const Notice &notice : told) {
        if (notice.warning)
            kd7010fp_app::warningMessage(notice.text);
        else
            kd7010fp_app::infoMessage(notice.text);
    }
}
