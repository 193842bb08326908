// ReferingObject: the watching side of notification.
#include "services/objects/ReferingObject.h"

ReferingObject::~ReferingObject() = default;

void ReferingObject::notify(NotificationEvent*, void*)
{
}
