#pragma once

// The engine-owned wrappers of the four product objects and their unwrapping.

#include "ProductInterfaces.h"
#include "lmInterfaces/InterfaceWrapper.h"

namespace kalmora {

class TIStandardReportsWrapper : public TInterfaceWrapper {
public:
    using TInterfaceWrapper::TInterfaceWrapper;
};

class TIRechnungWrapper : public TInterfaceWrapper {
public:
    using TInterfaceWrapper::TInterfaceWrapper;
};

class TIZahlungseingangWrapper : public TInterfaceWrapper {
public:
    using TInterfaceWrapper::TInterfaceWrapper;
};

class TIFiscalizationWrapper : public TInterfaceWrapper {
public:
    using TInterfaceWrapper::TInterfaceWrapper;
};

// Each: none for none; EInvalidCast for an object of another class than its wrapper; EInternalError
// "Interface ... is not available" when the wrapped interface does not answer.
TIntfRef<IStandardReports> AsStandardReports(TObject* object);
TIntfRef<IRechnung> AsRechnung(TObject* object);
TIntfRef<IZahlungseingang> AsZahlungseingang(TObject* object);
TIntfRef<IFiscalization> AsFiscalization(TObject* object);

} // namespace kalmora
