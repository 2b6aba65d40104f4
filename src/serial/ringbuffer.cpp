#include "serial/ringbuffer.h"

#include <algorithm>

RingBuffer::RingBuffer(int growth)
    : basicBlockSize(growth)
{
    buffers.append(QByteArray());
    clear();
}

int RingBuffer::nextDataBlockSize() const
{
    return (tailBuffer == 0 ? tail : buffers.first().size()) - head;
}

char *RingBuffer::readPointer()
{
    return buffers.first().data() + head;
}

const char *RingBuffer::readPointer() const
{
    return buffers.first().constData() + head;
}

char *RingBuffer::reserve(int n)
{
    if (bufferSize == 0) {
        buffers.first().resize(std::max(basicBlockSize, n));
        bufferSize += n;
        tail = n;
        return buffers.first().data();
    }

    bufferSize += n;
    QByteArray &last = buffers.last();
    if (tail + n <= last.size()) {
        char *at = last.data() + tail;
        tail += n;
        return at;
    }
    // A block less than half used grows in place rather than leaving a large hole behind.
    if (tail < last.size() / 2) {
        last.resize(tail + n);
        char *at = last.data() + tail;
        tail += n;
        return at;
    }
    last.resize(tail);
    buffers.append(QByteArray());
    ++tailBuffer;
    buffers.last().resize(std::max(basicBlockSize, n));
    tail = n;
    return buffers.last().data();
}

void RingBuffer::chop(int n)
{
    bufferSize = std::max(0, bufferSize - n);
    for (;;) {
        if (tailBuffer == 0) {
            tail -= n;
            if (tail <= head)
                tail = head = 0;
            return;
        }
        if (n <= tail) {
            tail -= n;
            return;
        }
        n -= tail;
        buffers.removeLast();
        --tailBuffer;
        tail = buffers.last().size();
    }
}

void RingBuffer::free(int n)
{
    bufferSize = std::max(0, bufferSize - n);
    for (;;) {
        const int block = nextDataBlockSize();
        if (n < block) {
            head += n;
            if (head == tail && tailBuffer == 0)
                head = tail = 0;
            break;
        }
        n -= block;
        if (buffers.size() == 1) {
            if (buffers.first().size() != basicBlockSize)
                buffers.first().resize(basicBlockSize);
            head = tail = tailBuffer = 0;
            break;
        }
        buffers.removeFirst();
        --tailBuffer;
        head = 0;
    }
    if (isEmpty())
        clear();
}

void RingBuffer::clear()
{
    while (buffers.size() > 1)
        buffers.removeLast();
    buffers.first().resize(0);
    buffers.first().squeeze();
    head = tail = tailBuffer = bufferSize = 0;
}

int RingBuffer::getChar()
{
    if (isEmpty())
        return -1;
    const int c = static_cast<unsigned char>(*readPointer());
    free(1);
    return c;
}

bool RingBuffer::canReadLine() const
{
    for (int i = 0; i <= tailBuffer; ++i) {
        const QByteArray &block = buffers.at(i);
        const int from = i == 0 ? head : 0;
        const int to = i == tailBuffer ? tail : block.size();
        if (to > from
            && std::find(block.constData() + from, block.constData() + to, '\n')
                != block.constData() + to)
            return true;
    }
    return false;
}
