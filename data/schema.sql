-- The history table, one record per tenor (or currency) and date. The program relies on no key:
-- it looks the pair up itself before adding a record.
CREATE TABLE Storico_Euribor (
    Tipo_Valuta TEXT,
    Data_Valuta TEXT,
    Quotazione REAL,
    Descrizione TEXT,
    Note TEXT
);
CREATE INDEX Storico_Euribor_Tipo_Data ON Storico_Euribor (Tipo_Valuta, Data_Valuta);
-- The load walks every record in date order: this index spares it a sort.
CREATE INDEX Storico_Euribor_Data ON Storico_Euribor (Data_Valuta);
