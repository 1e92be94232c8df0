// Whether the product is installed in its store-UI form: the client's brand
// code is 10 and its store-UI library is present. Answered once per process.
#pragma once

bool IsStoreUiBrand();
