-- Canteen database, SQLite.
-- Codes and names are text; hours are four digits, hours then minutes ('0730').
-- Date-times are text 'YYYY-MM-DD HH:MM:SS' (a 'T' between date and time reads the same), so
-- that a day is the half-open range ['YYYY-MM-DD', next day) and an index can seek it.
-- The index that lists a cost centre in name order needs the collation PTBR and lives in
-- schema_sqlite_ptbr.sql; this file works in any SQLite shell without it.

CREATE TABLE IF NOT EXISTS FILIAL (
  CDFILIAL      VARCHAR(4)  NOT NULL PRIMARY KEY,
  NMFILIAL      VARCHAR(40) NOT NULL
);

CREATE TABLE IF NOT EXISTS CAIXA (
  CDFILIAL      VARCHAR(4)  NOT NULL,
  CDCAIXA       VARCHAR(3)  NOT NULL,
  NMCAIXA       VARCHAR(40) NOT NULL,
  PRIMARY KEY (CDFILIAL, CDCAIXA)
);

CREATE TABLE IF NOT EXISTS CLIENTE (
  CDCLIENTE     VARCHAR(21) NOT NULL PRIMARY KEY,
  NMCLIENTE     VARCHAR(60) NOT NULL
);

-- A client served at a branch.
CREATE TABLE IF NOT EXISTS CLIENFILIAL (
  CDFILIAL      VARCHAR(4)  NOT NULL,
  CDCLIENTE     VARCHAR(21) NOT NULL,
  PRIMARY KEY (CDFILIAL, CDCLIENTE)
) WITHOUT ROWID;

CREATE TABLE IF NOT EXISTS TIPOCONS (
  CDTIPOCONS    VARCHAR(2)  NOT NULL PRIMARY KEY,
  NMTIPOCONS    VARCHAR(40) NOT NULL
);

-- A consumer (a student): of one client and one of its cost centres.
-- IDSITCONSUMI: '1' active, '2' inactive.
CREATE TABLE IF NOT EXISTS CONSUMIDOR (
  CDCONSUMIDOR  VARCHAR(21) NOT NULL PRIMARY KEY,
  CDCLIENTE     VARCHAR(21) NOT NULL,
  CDIDCONSUMID  VARCHAR(21) NOT NULL,
  NMCONSUMIDOR  VARCHAR(50) NOT NULL,
  IDSITCONSUMI  CHAR(1)     NOT NULL DEFAULT '1',
  CDCCUSCLIE    VARCHAR(10) NOT NULL,
  CDTIPOCONS    VARCHAR(2)  NOT NULL
);
CREATE INDEX IF NOT EXISTS IX_CONSUMIDOR_CCUSTO ON CONSUMIDOR (CDCCUSCLIE, CDCLIENTE, CDTIPOCONS);
CREATE INDEX IF NOT EXISTS IX_CONSUMIDOR_CRACHA ON CONSUMIDOR (CDIDCONSUMID);

CREATE TABLE IF NOT EXISTS SERVICO (
  CDSERVFILI    VARCHAR(5)  NOT NULL PRIMARY KEY,
  NMSERVICO     VARCHAR(40) NOT NULL
);

-- A service offered at a till, with its hours; an end before the start crosses midnight.
CREATE TABLE IF NOT EXISTS SERVTURCAIXA (
  CDFILIAL      VARCHAR(4)  NOT NULL,
  CDCAIXA       VARCHAR(3)  NOT NULL,
  CDSERVFILI    VARCHAR(5)  NOT NULL,
  HRINISERTUR   CHAR(4)     NOT NULL,
  HRFINSERTUR   CHAR(4)     NOT NULL,
  IDIMPCUPOMAUT CHAR(1)     NOT NULL DEFAULT 'N',
  PRIMARY KEY (CDFILIAL, CDCAIXA, CDSERVFILI)
);

CREATE TABLE IF NOT EXISTS PRODUTO (
  CDPRODUTO     VARCHAR(20) NOT NULL PRIMARY KEY,
  NMPRODUTO     VARCHAR(60) NOT NULL,
  VRPRECO       NUMERIC(12,2) NOT NULL DEFAULT 0
);

-- Products sold for a service at a till, to everybody.
CREATE TABLE IF NOT EXISTS PRODTURCAIXA (
  CDFILIAL      VARCHAR(4)  NOT NULL,
  CDCAIXA       VARCHAR(3)  NOT NULL,
  CDSERVFILI    VARCHAR(5)  NOT NULL,
  CDPRODUTO     VARCHAR(20) NOT NULL,
  PRIMARY KEY (CDSERVFILI, CDFILIAL, CDCAIXA, CDPRODUTO)
);

-- Products sold for a service at a till to one consumption type.
CREATE TABLE IF NOT EXISTS PRODSERVTCON (
  CDFILIAL      VARCHAR(4)  NOT NULL,
  CDCAIXA       VARCHAR(3)  NOT NULL,
  CDSERVFILI    VARCHAR(5)  NOT NULL,
  CDTIPOCONS    VARCHAR(2)  NOT NULL,
  CDPRODUTO     VARCHAR(20) NOT NULL,
  PRIMARY KEY (CDSERVFILI, CDFILIAL, CDCAIXA, CDTIPOCONS, CDPRODUTO)
);

-- One sale: a consumer served at a branch and till for a service.
-- DTHRREALCONCONS: when the meal was consumed; DTCONSUMO: its day ('YYYY-MM-DD'), stored so
-- that the database itself refuses a second valid sale of a consumer for a service on one day.
-- DTENTRVENDA: when the sale was entered. IDSITUVENDA: 'O' valid; anything else (e.g. 'C'
-- cancelled) does not count as served. NRVENDA: the till's sale number; NRCUPOMFISCAL: its
-- receipt number (CUPOMVENDA). CDPRODUTO/QTVENDA/VRVENDA hold the main product and the total;
-- ITEMVENDA every product. Sales written before DTCONSUMO existed may lack it.
CREATE TABLE IF NOT EXISTS VENDA (
  NRSEQVENDA      INTEGER     NOT NULL PRIMARY KEY,
  CDFILIAL        VARCHAR(4)  NOT NULL,
  CDCAIXA         VARCHAR(3)  NOT NULL,
  CDSERVFILI      VARCHAR(5)  NOT NULL,
  CDCONSUMIDOR    VARCHAR(21) NOT NULL,
  CDCLIENTE       VARCHAR(21),
  CDTIPOCONS      VARCHAR(2),
  CDPRODUTO       VARCHAR(20),
  QTVENDA         NUMERIC(12,3) NOT NULL DEFAULT 1,
  VRVENDA         NUMERIC(12,2) NOT NULL DEFAULT 0,
  DTHRREALCONCONS DATETIME    NOT NULL,
  DTENTRVENDA     DATETIME    NOT NULL,
  HRREALCONCONS   CHAR(4),
  IDSITUVENDA     CHAR(1)     NOT NULL DEFAULT 'O',
  NRCUPOMFISCAL   VARCHAR(10),
  NRSEQLOGCAT     VARCHAR(10),
  NRSEQARQIMP     VARCHAR(10),
  DTCONSUMO       VARCHAR(10),
  NRVENDA         INTEGER
);
-- One covering seek per consumer answers "sold for this service on this day?", the day range
-- inside the seek; also what the sale generator checks before recording a second sale.
CREATE INDEX IF NOT EXISTS IX_VENDA_CONSUMIDOR
  ON VENDA (CDCONSUMIDOR, CDFILIAL, CDCAIXA, CDSERVFILI, IDSITUVENDA, DTHRREALCONCONS);
-- At most one valid sale per branch, till, service, consumer and day, whoever writes it.
CREATE UNIQUE INDEX IF NOT EXISTS UX_VENDA_CONSUMO
  ON VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, CDCONSUMIDOR, DTCONSUMO) WHERE IDSITUVENDA = 'O';
CREATE UNIQUE INDEX IF NOT EXISTS UX_VENDA_NUMERO ON VENDA (CDFILIAL, CDCAIXA, NRVENDA);
-- The day's valid sales of a till and service, read once in a row with the consumer inside:
-- cheaper than one seek per consumer when a list is long next to that day's sales.
CREATE INDEX IF NOT EXISTS IX_VENDA_DIA
  ON VENDA (CDFILIAL, CDCAIXA, CDSERVFILI, IDSITUVENDA, DTHRREALCONCONS, CDCONSUMIDOR);

CREATE TABLE IF NOT EXISTS ITEMVENDA (
  NRSEQVENDA      INTEGER     NOT NULL,
  NRITEM          INTEGER     NOT NULL,
  CDPRODUTO       VARCHAR(20) NOT NULL,
  QTPRODUTO       NUMERIC(12,3) NOT NULL DEFAULT 1,
  VRUNITARIO      NUMERIC(12,2) NOT NULL DEFAULT 0,
  VRTOTAL         NUMERIC(12,2) NOT NULL DEFAULT 0,
  PRIMARY KEY (NRSEQVENDA, NRITEM)
);

-- The receipt of a sale: its number at the till (no gaps among recorded sales) and its text
-- as printed, 48 columns a line. IDIMPRESSO: 'P' to print (a service that prints), 'S' once
-- the printer or the whole PDF has it, 'N' for a service that prints none.
CREATE TABLE IF NOT EXISTS CUPOMVENDA (
  NRSEQVENDA      INTEGER     NOT NULL PRIMARY KEY,
  CDFILIAL        VARCHAR(4)  NOT NULL,
  CDCAIXA         VARCHAR(3)  NOT NULL,
  NRCUPOM         INTEGER     NOT NULL,
  DTEMISCUPOM     DATETIME    NOT NULL,
  TXCUPOM         TEXT        NOT NULL,
  IDIMPRESSO      CHAR(1)     NOT NULL DEFAULT 'N'
);
CREATE UNIQUE INDEX IF NOT EXISTS UX_CUPOMVENDA_NUMERO ON CUPOMVENDA (CDFILIAL, CDCAIXA, NRCUPOM);

-- The last sale and receipt numbers of a till; a sale advances them inside its own
-- transaction, so a sale that is undone gives its numbers back.
CREATE TABLE IF NOT EXISTS NUMCAIXA (
  CDFILIAL        VARCHAR(4)  NOT NULL,
  CDCAIXA         VARCHAR(3)  NOT NULL,
  NRULTVENDA      INTEGER     NOT NULL DEFAULT 0,
  NRULTCUPOM      INTEGER     NOT NULL DEFAULT 0,
  PRIMARY KEY (CDFILIAL, CDCAIXA)
);

-- A till's closing of a day (Redução Z): the valid sales of that consumption day, their total
-- and first and last receipt numbers, and the closing as printed (48 columns a line, with the
-- totals by service). NRFECHAMENTO: the till's closing number, 1, 2, ... DTMOVIMENTO: the day
-- closed ('YYYY-MM-DD'); the till sells nothing more for it. Written once, in the transaction
-- that reads the totals; the program never changes nor deletes a closing.
CREATE TABLE IF NOT EXISTS FECHACAIXA (
  CDFILIAL        VARCHAR(4)  NOT NULL,
  CDCAIXA         VARCHAR(3)  NOT NULL,
  NRFECHAMENTO    INTEGER     NOT NULL,
  DTMOVIMENTO     VARCHAR(10) NOT NULL,
  DTHRFECHAMENTO  DATETIME    NOT NULL,
  QTVENDAS        INTEGER     NOT NULL DEFAULT 0,
  VRTOTAL         NUMERIC(12,2) NOT NULL DEFAULT 0,
  NRCUPOMINI      INTEGER,
  NRCUPOMFIM      INTEGER,
  TXFECHAMENTO    TEXT        NOT NULL,
  PRIMARY KEY (CDFILIAL, CDCAIXA, NRFECHAMENTO)
);
-- One closing per till and day, whoever writes it.
CREATE UNIQUE INDEX IF NOT EXISTS UX_FECHACAIXA_DIA ON FECHACAIXA (CDFILIAL, CDCAIXA, DTMOVIMENTO);

-- The version of these tables; the sale generator and the fiscal menu bring an older database
-- up to date.
PRAGMA user_version = 2;
