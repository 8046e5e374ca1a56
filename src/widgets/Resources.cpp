#include "widgets/Resources.h"

#include <QtGlobal>

void initBundledPages()
{
    Q_INIT_RESOURCE(qinghebu);
}
