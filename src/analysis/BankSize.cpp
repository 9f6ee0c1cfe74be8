#include "analysis/BankSize.h"

int BankSizeForSampleRate(int nSampleRate)
{
    int n = 1;
    if (nSampleRate > kMaxBanksPerSecond) {
        while (nSampleRate / n > kMaxBanksPerSecond)
            n *= 2;
    }
    return n < kMinBankSize ? kMinBankSize : n;
}
