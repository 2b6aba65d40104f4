#pragma once

#include <QByteArray>
#include <QList>

// A byte queue made of blocks: bytes are appended in place at the tail (an engine reads straight
// into the address that reserve() hands out) and consumed at the head, so nothing is moved
// between blocks. Small reads and writes keep reusing one block.
class RingBuffer
{
public:
    explicit RingBuffer(int growth = 16384);

    // Room for n more bytes at the tail; the caller writes them at the address answered.
    char *reserve(int n);
    // Gives back n bytes at the tail (what a read did not fill).
    void chop(int n);
    // Consumes n bytes at the head.
    void free(int n);
    void clear();

    int nextDataBlockSize() const;
    char *readPointer();
    const char *readPointer() const;
    int getChar();
    bool canReadLine() const;

    int size() const { return bufferSize; }
    bool isEmpty() const { return tailBuffer == 0 && tail == 0; }

    // For the tests of the block arithmetic.
    int blockCount() const { return buffers.size(); }
    int blockSize(int index) const { return buffers.at(index).size(); }
    int headPosition() const { return head; }
    int tailPosition() const { return tail; }

private:
    QList<QByteArray> buffers;
    int head = 0;
    int tail = 0;
    int tailBuffer = 0;
    int basicBlockSize;
    int bufferSize = 0;
};
